#include "ui/image_cache.h"

#include <algorithm>
#include <cstring>

#include "ui/core/image_decoder.h"
#include "ui/render.h"
#include "ui/skin_source.h"

namespace DuiLib {

namespace {

std::wstring LowerCase(std::wstring text) {
    for (wchar_t& c : text) {
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c == L'/')
            c = L'\\';
    }
    return text;
}

// The decoded frames copied into one bitmap, stacked.
void FillImage(ImageData* image, const std::wstring& file, const DecodedImage& decoded) {
    int frames = static_cast<int>(decoded.frames.size());
    // Frames stack vertically in one bitmap; guard the total height.
    if (static_cast<int64_t>(decoded.height) * frames > kMaxImageSide * 4) {
        frames = std::max(1, (kMaxImageSide * 4) / std::max(1, decoded.height));
    }
    uint32_t* bits = nullptr;
    image->bitmap = render::CreateTopDownDib(decoded.width, decoded.height * frames, &bits);
    if (image->bitmap == nullptr) {
        image->error = file + L": out of memory";
        return;
    }
    size_t frameBytes = static_cast<size_t>(decoded.width) * decoded.height * 4;
    for (int i = 0; i < frames; ++i) {
        memcpy(reinterpret_cast<uint8_t*>(bits) + frameBytes * i, decoded.frames[i].bgra.data(),
               frameBytes);
        image->delaysMs.push_back(decoded.frames[i].delayMs);
    }
    image->bits = bits;
    image->runs.Build(bits, decoded.width, decoded.height * frames);
    image->width = decoded.width;
    image->height = decoded.height;
    image->ok = true;
}

}  // namespace

ImageData::~ImageData() {
    if (bitmap) {
        ::DeleteObject(bitmap);
    }
}

std::unique_ptr<ImageData> LoadImageData(const std::wstring& file) {
    auto image = std::make_unique<ImageData>();
    std::vector<uint8_t> bytes;
    std::wstring error;
    if (!skin::ReadFile(file, &bytes, &error)) {
        image->error = error;
    } else {
        DecodedImage decoded;
        std::string decodeError;
        if (!DecodeImage(bytes.data(), bytes.size(), &decoded, &decodeError) ||
            decoded.frames.empty()) {
            image->error = file + L": " + skin::FromUtf8(decodeError);
        } else {
            FillImage(image.get(), file, decoded);
        }
    }
    if (!image->ok) {
        ::OutputDebugStringW((L"DuiLib image: " + image->error + L"\n").c_str());
    }
    return image;
}

ImageCache::ImageCache() {
    m_srcDC = ::CreateCompatibleDC(nullptr);
}

ImageCache::~ImageCache() {
    Clear();
    if (m_srcDC) {
        ::DeleteDC(m_srcDC);
    }
}

void ImageCache::Clear() {
    StopPreloading();
    m_preload.done.clear();
    m_images.clear();
}

const ImageData* ImageCache::Get(const std::wstring& file) {
    std::wstring key = LowerCase(file);
    auto it = m_images.find(key);
    if (it != m_images.end()) {
        return it->second.get();
    }
    std::unique_ptr<ImageData> image = TakePreloaded(key);
    if (!image) {
        image = LoadImageData(file);
    }
    const ImageData* result = image.get();
    m_images.emplace(std::move(key), std::move(image));
    return result;
}

const ImageData* ImageCache::Find(const std::wstring& file) const {
    auto it = m_images.find(LowerCase(file));
    return it == m_images.end() ? nullptr : it->second.get();
}

std::vector<std::wstring> ImageCache::Preload(const std::vector<std::wstring>& files) {
    std::vector<std::wstring> queued;
    std::unique_lock<std::mutex> hold(m_preload.lock);
    for (const std::wstring& file : files) {
        std::wstring key = LowerCase(file);
        bool known = m_images.count(key) || m_preload.done.count(key) || m_preload.active == key ||
                     std::any_of(m_preload.work.begin(), m_preload.work.end(),
                                 [&](const Job& job) { return job.key == key; });
        if (!known) {
            m_preload.work.push_back(Job{key, file});
            queued.push_back(file);
        }
    }
    if (queued.empty() || m_preload.running) {
        return queued;
    }
    m_preload.running = true;
    hold.unlock();
    if (m_worker.joinable()) {
        m_worker.join();  // an earlier worker, ended or about to
    }
    m_worker = std::thread([this] { PreloadWork(); });
    return queued;
}

void ImageCache::PreloadWork() {
    std::unique_lock<std::mutex> hold(m_preload.lock);
    while (!m_preload.work.empty()) {
        Job job = std::move(m_preload.work.front());
        m_preload.work.pop_front();
        m_preload.active = job.key;
        hold.unlock();
        std::unique_ptr<ImageData> image = LoadImageData(job.file);
        hold.lock();
        m_preload.done[m_preload.active] = std::move(image);
        m_preload.active.clear();
        m_preload.finished.notify_all();
    }
    m_preload.running = false;
}

// The preloaded image of key, waiting while the worker decodes it; null when it was never
// queued or had not started (it is then taken off the queue: the caller decodes it at once).
std::unique_ptr<ImageData> ImageCache::TakePreloaded(const std::wstring& key) {
    std::unique_lock<std::mutex> hold(m_preload.lock);
    auto queued = std::find_if(m_preload.work.begin(), m_preload.work.end(),
                               [&](const Job& job) { return job.key == key; });
    if (queued != m_preload.work.end()) {
        m_preload.work.erase(queued);
        return nullptr;
    }
    m_preload.finished.wait(hold, [&] { return m_preload.active != key; });
    auto done = m_preload.done.find(key);
    if (done == m_preload.done.end()) {
        return nullptr;
    }
    std::unique_ptr<ImageData> image = std::move(done->second);
    m_preload.done.erase(done);
    return image;
}

void ImageCache::StopPreloading() {
    {
        std::lock_guard<std::mutex> hold(m_preload.lock);
        m_preload.work.clear();
    }
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

}  // namespace DuiLib
