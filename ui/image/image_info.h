// ImageInfo is one decoded image file: its frames as 32-bit DIB bitmaps, the
// frame delays, size and alpha flag. Records are shared (shared_ptr) by every
// control showing the file; ImageCache hands them out and forgets an entry
// when its last user drops it. GDI+ must be running for the decoders. UI
// thread only.
#ifndef UI_IMAGE_IMAGE_INFO_H_
#define UI_IMAGE_IMAGE_INFO_H_

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ui {

class ImageInfo {
 public:
  // Every frame becomes a DIB section: one GDI object of the process's quota
  // (10,000 by default, shared with every window, DC, font and image) and
  // its pixels in memory. A file names its own frame count and size, so both
  // are capped. Skin animations (spinners, effects) have tens of frames;
  // 256 frames of one image take 2.5 % of the quota.
  static constexpr int kMaxFrames = 256;
  // 64 MiB of 32-bit pixels per image: a 4096 x 4096 still image, or 72
  // frames the size of the whole 640 x 360 wizard window. A 32-bit process
  // has 2 GiB in all; a few images at the cap must still fit.
  static constexpr uint64_t kMaxDecodedPixels = uint64_t{16} << 20;

  ImageInfo() = default;
  ~ImageInfo();
  ImageInfo(const ImageInfo&) = delete;
  ImageInfo& operator=(const ImageInfo&) = delete;

  int width() const { return width_; }
  int height() const { return height_; }
  const std::wstring& path() const { return path_; }
  bool has_alpha() const { return has_alpha_; }
  bool cached() const { return cached_; }
  // Raw delays (1/100 s), only for images of two or more frames.
  const std::vector<int>& frame_delays() const { return frame_delays_; }
  int FrameCount() const { return static_cast<int>(frames_.size()); }
  bool IsAnimated() const { return frames_.size() > 1; }
  // The frame's bitmap, owned by the record; null for an index out of range.
  HBITMAP Frame(int index) const;
  // Interval rule of the animation (0 = do not play).
  int FrameIntervalMs(int index) const;

  void set_path(const std::wstring& path) { path_ = path; }
  void set_cached(bool cached) { cached_ = cached; }

  // Decoders. DecodeFromMemory takes |block| (a movable global block) and
  // frees it whatever happens. Null when the bytes are not an image.
  static std::unique_ptr<ImageInfo> DecodeFromMemory(HGLOBAL block);
  static std::unique_ptr<ImageInfo> DecodeFromFile(const std::wstring& file);

 private:
  friend class ImageDecoder;

  int width_ = 0;
  int height_ = 0;
  std::wstring path_;
  bool has_alpha_ = false;
  bool cached_ = false;
  std::vector<int> frame_delays_;
  std::vector<HBITMAP> frames_;
};

// Weak map from cache key to the live records. The key is the path under
// the archive rule while an archive is mounted, else the file-system path.
class ImageCache {
 public:
  ImageCache();
  ~ImageCache();
  ImageCache(const ImageCache&) = delete;
  ImageCache& operator=(const ImageCache&) = delete;

  // The shared record, decoding the file on a miss (archive member first,
  // then the file system); null when it cannot be decoded.
  std::shared_ptr<ImageInfo> GetImage(const std::wstring& path);
  // Only a record that is alive already.
  std::shared_ptr<ImageInfo> GetCachedImage(const std::wstring& path);
  size_t LiveEntries() const;

  static std::wstring CacheKey(const std::wstring& path);

 private:
  // Shared with the records' deleters so that a record outliving the cache
  // does not touch freed memory.
  struct Entries {
    std::map<std::wstring, std::weak_ptr<ImageInfo>> map;
  };
  std::shared_ptr<Entries> entries_;
};

// A control's image name made into a path: relative names go below the
// resource path and the window's resource folder; then the file rule.
std::wstring ResolveImagePath(const std::wstring& image_name, const std::wstring& window_resource_folder);

}  // namespace ui

#endif  // UI_IMAGE_IMAGE_INFO_H_
