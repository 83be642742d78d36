// What a swap of a control's background picture changes on the screen. A worker that turns
// an animation by setting one picture after another (the welcome page's logo) would have the
// whole control drawn again each time, although two frames of such an animation usually
// differ in a small part. The first swap between two pictures draws the whole control and
// notes the pair; once both pictures are decoded, the UI thread finds the tiles where they
// differ, and later swaps between them invalidate only those tiles. Safe from any thread.
#pragma once

#include <windows.h>

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace DuiLib {

class ImageCache;

class SwapDamage {
  public:
    // The tiles (in the pictures' coordinates) where the background `from` differs from `to`,
    // both image attributes. True only when both are plain file names of single pictures of
    // `size` and their tiles are known; otherwise the pair is noted for Learn when it could
    // be known.
    bool Find(const std::wstring& from, const std::wstring& to, SIZE size,
              std::vector<RECT>* tiles);
    // Works out the noted pairs whose pictures are both decoded (UI thread, after a paint).
    void Learn(const ImageCache& images);

  private:
    using Pair = std::pair<std::wstring, std::wstring>;  // image attributes, from and to
    struct Tiles {
        SIZE size;
        std::vector<RECT> rects;
    };

    std::mutex m_lock;
    std::map<Pair, Tiles> m_known;
    std::set<Pair> m_wanted;
};

}  // namespace DuiLib
