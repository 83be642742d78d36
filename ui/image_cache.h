// The decoded images of one paint manager. Decoding is most of a window's first paint, so a
// window may name the images that paint will need before it is shown: a worker decodes them
// while the system creates and shows the window, and the paint finds them ready.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "ui/core/pixel_blend.h"

namespace DuiLib {

// A decoded image held as one DIB section; the frames of an animated image are stacked
// top to bottom.
struct ImageData {
    int width = 0;
    int height = 0;  // of one frame
    std::vector<int> delaysMs;
    HBITMAP bitmap = nullptr;
    const uint32_t* bits = nullptr;  // the bitmap's pixels, premultiplied, frames stacked
    AlphaRuns runs;                  // of bits, for blending
    bool ok = false;
    std::wstring error;

    ImageData() = default;
    ~ImageData();
    ImageData(const ImageData&) = delete;
    ImageData& operator=(const ImageData&) = delete;
    int FrameCount() const { return static_cast<int>(delaysMs.size()); }
};

// Reads and decodes a skin file; any thread. Never null: a failure is an image with ok false
// and the reason in error.
std::unique_ptr<ImageData> LoadImageData(const std::wstring& file);

// Images decoded on first use and kept. Get, Find and Clear are for the UI thread; the
// preloading worker touches only the queue and the finished images, under its lock.
class ImageCache {
  public:
    ImageCache();
    ~ImageCache();
    ImageCache(const ImageCache&) = delete;
    ImageCache& operator=(const ImageCache&) = delete;

    // Never null; a failed load is remembered (ok == false) so it is not retried per frame.
    // An image being preloaded is waited for; one still queued is decoded here.
    const ImageData* Get(const std::wstring& file);
    // The image when it has been loaded already, else null (never loads or waits).
    const ImageData* Find(const std::wstring& file) const;
    // Starts decoding, in this order on a worker thread, the files not loaded or queued yet;
    // returns those it queued. A preload still running goes on with the new files after its
    // own.
    std::vector<std::wstring> Preload(const std::vector<std::wstring>& files);
    void Clear();
    HDC SourceDC() const { return m_srcDC; }

  private:
    struct Job {
        std::wstring key;  // the file's name in the cache's spelling
        std::wstring file;
    };
    struct Preloading {
        std::mutex lock;
        std::condition_variable finished;  // an image left active
        std::deque<Job> work;              // not started, in order
        std::wstring active;               // the key being decoded, empty when none
        std::unordered_map<std::wstring, std::unique_ptr<ImageData>> done;  // by key
        bool running = false;  // the worker has not ended yet
    };

    void PreloadWork();
    std::unique_ptr<ImageData> TakePreloaded(const std::wstring& key);
    void StopPreloading();

    std::unordered_map<std::wstring, std::unique_ptr<ImageData>> m_images;
    HDC m_srcDC = nullptr;
    Preloading m_preload;
    std::thread m_worker;
};

}  // namespace DuiLib
