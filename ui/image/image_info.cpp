#include "ui/image/image_info.h"

#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "base/log/log.h"
#include "ui/core/resource_archive.h"
#include "ui/core/resource_archive_win.h"
#include "ui/image/image_descriptor.h"

namespace ui {

namespace {

struct ComRelease {
  void operator()(IUnknown* p) const {
    if (p) p->Release();
  }
};

struct BitmapOwner {
  HBITMAP bitmap = nullptr;
  ~BitmapOwner() {
    if (bitmap) ::DeleteObject(bitmap);
  }
};

// Any alpha byte other than 255 in a 32-bit DIB.
bool DibHasTranslucency(HBITMAP bitmap) {
  DIBSECTION section{};
  if (::GetObjectW(bitmap, sizeof(section), &section) != sizeof(section)) return false;
  const BITMAP& bm = section.dsBm;
  if (bm.bmBitsPixel != 32 || !bm.bmBits) return false;
  const unsigned char* row = static_cast<const unsigned char*>(bm.bmBits);
  for (LONG y = 0; y < bm.bmHeight; ++y, row += bm.bmWidthBytes) {
    for (LONG x = 0; x < bm.bmWidth; ++x) {
      if (row[x * 4 + 3] != 255) return true;
    }
  }
  return false;
}

}  // namespace

class ImageDecoder {
 public:
  static std::unique_ptr<ImageInfo> Decode(Gdiplus::Bitmap* bitmap);
};

std::unique_ptr<ImageInfo> ImageDecoder::Decode(Gdiplus::Bitmap* bitmap) {
  if (!bitmap || bitmap->GetLastStatus() != Gdiplus::Ok) return nullptr;
  auto info = std::make_unique<ImageInfo>();
  info->width_ = static_cast<int>(bitmap->GetWidth());
  info->height_ = static_cast<int>(bitmap->GetHeight());
  if (info->width_ <= 0 || info->height_ <= 0) return nullptr;

  // Frames of the time dimension (animated GIFs); still images have one.
  UINT frames = 1;
  UINT dimensions = bitmap->GetFrameDimensionsCount();
  if (dimensions > 0) {
    std::vector<GUID> ids(dimensions);
    if (bitmap->GetFrameDimensionsList(ids.data(), dimensions) == Gdiplus::Ok) {
      for (const GUID& id : ids) {
        if (::IsEqualGUID(id, Gdiplus::FrameDimensionTime)) {
          frames = bitmap->GetFrameCount(&Gdiplus::FrameDimensionTime);
          break;
        }
      }
    }
  }
  if (frames == 0) return nullptr;

  // The file names its own size and frame count; each frame kept costs a
  // DIB section (kMaxFrames, kMaxDecodedPixels). Frames past either cap are
  // dropped, so a long animation still shows its beginning.
  const uint64_t frame_pixels = static_cast<uint64_t>(info->width_) * static_cast<uint64_t>(info->height_);
  if (frame_pixels > ImageInfo::kMaxDecodedPixels) {
    QLOG_WAR(L"image: {0}x{1} is over the pixel budget, not decoded") << info->width_ << info->height_;
    return nullptr;
  }
  const uint64_t fit = std::min<uint64_t>(ImageInfo::kMaxFrames, ImageInfo::kMaxDecodedPixels / frame_pixels);
  if (frames > fit) {
    QLOG_WAR(L"image: {0} frames of {1}x{2}, keeping {3}") << frames << info->width_ << info->height_ << fit;
    frames = static_cast<UINT>(fit);
  }

  if (frames >= 2) {
    UINT size = bitmap->GetPropertyItemSize(PropertyTagFrameDelay);
    if (size >= sizeof(Gdiplus::PropertyItem)) {
      std::vector<unsigned char> buffer(size);
      auto* item = reinterpret_cast<Gdiplus::PropertyItem*>(buffer.data());
      if (bitmap->GetPropertyItem(PropertyTagFrameDelay, size, item) == Gdiplus::Ok && item->value) {
        // LONG values; a short list leaves later frames without a delay.
        size_t count = item->length / sizeof(LONG);
        // The value must lie inside the buffer GDI+ filled.
        const unsigned char* value = static_cast<const unsigned char*>(item->value);
        if (value >= buffer.data() && value + count * sizeof(LONG) <= buffer.data() + buffer.size()) {
          for (size_t i = 0; i < count && i < frames; ++i) {
            LONG delay;
            std::memcpy(&delay, value + i * sizeof(LONG), sizeof(delay));
            info->frame_delays_.push_back(static_cast<int>(delay));
          }
        }
      }
    }
  }

  for (UINT i = 0; i < frames; ++i) {
    if (frames > 1 && bitmap->SelectActiveFrame(&Gdiplus::FrameDimensionTime, i) != Gdiplus::Ok) return nullptr;
    BitmapOwner frame;
    if (bitmap->GetHBITMAP(Gdiplus::Color(0xFF000000), &frame.bitmap) != Gdiplus::Ok || !frame.bitmap)
      return nullptr;
    info->frames_.push_back(frame.bitmap);
    frame.bitmap = nullptr;
  }

  const Gdiplus::PixelFormat format = bitmap->GetPixelFormat();
  if (format == PixelFormat32bppARGB) {
    for (HBITMAP frame : info->frames_) {
      if (DibHasTranslucency(frame)) {
        info->has_alpha_ = true;
        break;
      }
    }
  } else if (Gdiplus::IsAlphaPixelFormat(format)) {
    info->has_alpha_ = true;
  } else if (Gdiplus::IsIndexedPixelFormat(format)) {
    INT size = bitmap->GetPaletteSize();
    if (size >= static_cast<INT>(sizeof(Gdiplus::ColorPalette))) {
      std::vector<unsigned char> buffer(size);
      auto* palette = reinterpret_cast<Gdiplus::ColorPalette*>(buffer.data());
      if (bitmap->GetPalette(palette, size) == Gdiplus::Ok)
        info->has_alpha_ = (palette->Flags & Gdiplus::PaletteFlagsHasAlpha) != 0;
    }
  }
  return info;
}

ImageInfo::~ImageInfo() {
  for (HBITMAP frame : frames_) ::DeleteObject(frame);
}

HBITMAP ImageInfo::Frame(int index) const {
  if (index < 0 || index >= FrameCount()) return nullptr;
  return frames_[index];
}

int ImageInfo::FrameIntervalMs(int index) const { return ui::FrameIntervalMs(frame_delays_, index); }

std::unique_ptr<ImageInfo> ImageInfo::DecodeFromMemory(HGLOBAL block) {
  if (!block) return nullptr;
  IStream* raw = nullptr;
  // The stream owns the block from here on and frees it on release.
  if (FAILED(::CreateStreamOnHGlobal(block, TRUE, &raw)) || !raw) {
    ::GlobalFree(block);
    return nullptr;
  }
  std::unique_ptr<IStream, ComRelease> stream(raw);
  std::unique_ptr<Gdiplus::Bitmap> bitmap(Gdiplus::Bitmap::FromStream(stream.get()));
  return ImageDecoder::Decode(bitmap.get());
}

std::unique_ptr<ImageInfo> ImageInfo::DecodeFromFile(const std::wstring& file) {
  if (file.empty()) return nullptr;
  // GDI+ keeps a file open while its bitmap lives; the bitmap dies here.
  std::unique_ptr<Gdiplus::Bitmap> bitmap(Gdiplus::Bitmap::FromFile(file.c_str()));
  return ImageDecoder::Decode(bitmap.get());
}

ImageCache::ImageCache() : entries_(std::make_shared<Entries>()) {}

ImageCache::~ImageCache() = default;

std::wstring ImageCache::CacheKey(const std::wstring& path) {
  return IsArchiveMounted() ? NormalizeArchivePath(path) : path;
}

std::shared_ptr<ImageInfo> ImageCache::GetCachedImage(const std::wstring& path) {
  auto it = entries_->map.find(CacheKey(path));
  if (it == entries_->map.end()) return nullptr;
  return it->second.lock();
}

std::shared_ptr<ImageInfo> ImageCache::GetImage(const std::wstring& path) {
  if (path.empty()) return nullptr;
  const std::wstring key = CacheKey(path);
  auto it = entries_->map.find(key);
  if (it != entries_->map.end()) {
    if (std::shared_ptr<ImageInfo> live = it->second.lock()) return live;
  }
  std::unique_ptr<ImageInfo> decoded;
  if (IsArchiveMounted()) {
    ScopedGlobalMemory block = ReadArchiveMember(path);
    if (block.Valid()) decoded = ImageInfo::DecodeFromMemory(block.Release());
  }
  if (!decoded) decoded = ImageInfo::DecodeFromFile(NormalizeFilePath(path));
  if (!decoded) {
    QLOG_WAR(L"image: cannot decode {0}") << path;
    return nullptr;
  }
  decoded->set_path(key);
  decoded->set_cached(true);
  std::weak_ptr<Entries> owner = entries_;
  std::shared_ptr<ImageInfo> shared(decoded.release(), [owner, key](ImageInfo* info) {
    if (std::shared_ptr<Entries> entries = owner.lock()) {
      auto found = entries->map.find(key);
      if (found != entries->map.end() && found->second.expired()) entries->map.erase(found);
    }
    delete info;
  });
  entries_->map[key] = shared;
  return shared;
}

size_t ImageCache::LiveEntries() const {
  size_t live = 0;
  for (const auto& entry : entries_->map) {
    if (!entry.second.expired()) ++live;
  }
  return live;
}

std::wstring ResolveImagePath(const std::wstring& image_name, const std::wstring& window_resource_folder) {
  std::wstring path = image_name;
  if (IsRelativePath(path)) path = ResourceRoot() + window_resource_folder + path;
  return NormalizeFilePath(path);
}

}  // namespace ui
