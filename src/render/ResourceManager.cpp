#include "render/ResourceManager.h"

#include <cmath>
#include <cstring>
#include <unordered_set>

#include "base/Log.h"
#include "core/DrawEpoch.h"
#include "core/MissingFiles.h"
#include "core/ResourcePath.h"
#include "render/FontStyle.h"
#include "render/FontTexture.h"
#include "render/Image.h"
#include "render/Renderer.h"
#include "render/TTFManager.h"
#include "render/Texture.h"

namespace GCore {

ResourceManager* g_resourceManager = nullptr;

namespace {

constexpr uint32_t kKindAirData = 3;
constexpr uint32_t kKindGlyphSheet = 6;
constexpr int kFontSlots = 16;
constexpr int kMaxProject = 255;
constexpr uint32_t kFirstFontRecord = 0x72000001;
constexpr uint32_t kSheetMask = 0xFFFF0000;
// A sheet's cells are this much larger than its font (in single precision).
constexpr float kCellPerPixel = 1.1f;

int64_t TextureArea(const Texture* texture) {
  return PowerOfTwoAtLeast(texture->width) * PowerOfTwoAtLeast(texture->height);
}

}  // namespace

int64_t PowerOfTwoAtLeast(int64_t n) {
  if (n < 0) return 0;
  int64_t p = 1;
  while (p < n && p < 0x80000000LL) p <<= 1;
  return p;
}

ResourceManager::ResourceManager() {
  g_resourceManager = this;
  SpineHost_install(&EngineSpineHost());
  // A bare record: image grids point it at their current cell.
  CreateImage(OwnerPair{1, kScratchImageId}, true);
}

ResourceManager::~ResourceManager() {
  Clear();
  if (g_resourceManager != this) return;
  g_resourceManager = nullptr;
  SpineHost_install(nullptr);
}

OwnerPair ResourceManager::Normalise(OwnerPair pair) const {
  if ((pair.variant & 0xFF) == 0) pair.variant |= CurrentProjectIndex() & 0xFF;
  return pair;
}

template <class Predicate>
void ResourceManager::EraseImages(Predicate drop) {
  DrawInputsChanged();
  // Images share textures (sub-images, grid cells): no surviving image may
  // keep pointing at a texture deleted here, and no image being deleted may
  // look at a texture already gone. Every texture is still alive until the
  // erasing pass below.
  std::unordered_set<const Texture*> doomed;
  for (auto& [pair, image] : images_) {
    if (!drop(pair)) continue;
    if (image->Owns(image->texture)) {
      doomed.insert(image->texture);
    } else {
      image->texture = nullptr;
    }
  }
  if (!doomed.empty()) {
    for (auto& [pair, image] : images_) {
      const bool deletesIt = drop(pair) && image->Owns(image->texture);
      if (!deletesIt && doomed.count(image->texture)) image->texture = nullptr;
    }
    ForgetPageTextures(doomed);
  }
  for (auto it = images_.begin(); it != images_.end();) {
    it = drop(it->first) ? images_.erase(it) : std::next(it);
  }
}

void ResourceManager::Clear() {
  airData_.clear();
  missingImages_.clear();
  EraseImages([](const OwnerPair&) { return true; });
  ClearFontStyles();
  spines_.clear();
}

void ResourceManager::ClearProject(int project) {
  auto ofProject = [project](int32_t variant) { return (variant & 0xFF) == project; };
  for (auto it = airData_.begin(); it != airData_.end();) {
    it = ofProject(it->first.variant) ? airData_.erase(it) : std::next(it);
  }
  // The grid scratch record is the manager's own, not a project resource.
  const OwnerPair scratch{1, kScratchImageId};
  EraseImages([&](const OwnerPair& pair) { return ofProject(pair.variant) && pair != scratch; });
  std::erase_if(missingImages_, [&](const OwnerPair& pair) { return ofProject(pair.variant); });
  for (auto it = spines_.begin(); it != spines_.end();) {
    if (!ofProject(std::get<0>(it->first))) {
      ++it;
      continue;
    }
    it = spines_.erase(it);
  }
  for (int slot = 0; slot < kFontSlots; ++slot) {
    const size_t index = (static_cast<size_t>(project) << 4) | slot;
    if (index < fontNames_.size()) fontNames_[index].clear();
  }
}

void ResourceManager::ResetTextures() {
  DrawInputsChanged();
  for (auto& [pair, image] : images_) {
    if (!image->texture) continue;
    image->texture->glName = 0;
    image->texture->uploadedWidth = image->texture->uploadedHeight = 0;
    image->texture->hasMipmaps = false;
  }
}

void ResourceManager::TouchTexture(Texture* texture) {
  if (!texture || texture->glName == 0) return;
  const int64_t area = TextureArea(texture);
  if (auto found = residentIndex_.find(texture); found != residentIndex_.end()) {
    resident_.splice(resident_.end(), resident_, found->second.at);
    used += area - found->second.area;
    found->second.area = area;
    return;
  }
  used += area;
  while (used >= budget && !resident_.empty()) EvictTexture(resident_.front());
  residentIndex_[texture] = ResidentEntry{resident_.insert(resident_.end(), texture), area};
}

void ResourceManager::EvictTexture(Texture* texture) {
  DrawInputsChanged();
  if (!texture) return;
  if (g_renderer) g_renderer->ReleaseTexture(texture);
  // Only a resident texture counts towards the budget.
  if (auto found = residentIndex_.find(texture); found != residentIndex_.end()) {
    used -= found->second.area;
    resident_.erase(found->second.at);
    residentIndex_.erase(found);
  }
  texture->ReleasePixels();
  texture->Release();
  texture->RetryDecode();
}

Image* ResourceManager::GetImage(OwnerPair pair) {
  pair = Normalise(pair);
  if (ResourceKind(pair.id) == kKindGlyphSheet) {
    FontTexture* sheet = GetGlyphSheet(pair);
    return sheet ? sheet->GetGlyph(pair.id & 0xFF, static_cast<int32_t>((pair.id >> 8) & 0xFF)) : nullptr;
  }
  if (auto found = images_.find(pair); found != images_.end()) return found->second.get();
  if (missingImages_.count(pair)) return nullptr;
  return CreateImage(pair, false);
}

Image* ResourceManager::FindImage(OwnerPair pair) const {
  auto found = images_.find(Normalise(pair));
  return found == images_.end() ? nullptr : found->second.get();
}

FontTexture* ResourceManager::GetGlyphSheet(OwnerPair pair) {
  pair = Normalise(pair);
  pair.id &= kSheetMask;
  if (ResourceKind(pair.id) != kKindGlyphSheet) return nullptr;
  if (auto found = images_.find(pair); found != images_.end()) {
    return static_cast<FontTexture*>(found->second->texture);
  }
  return LoadGlyphSheet(pair);
}

FontTexture* ResourceManager::LoadGlyphSheet(OwnerPair pair) {
  const auto pixelHeight = static_cast<int32_t>((pair.id >> 16) & 0xFF);
  const auto cell = static_cast<int32_t>(std::ceil(static_cast<float>(pixelHeight) * kCellPerPixel));
  if (pixelHeight == 0) {
    if (refusedSheets_.insert(pair).second) LogPrintf("glyph sheet %08x: font size 0\n", pair.id);
    return nullptr;
  }
  auto sheet = std::make_unique<FontTexture>(static_cast<uint32_t>(pair.variant), pair.id);
  if (!sheet->Init(pixelHeight, cell, static_cast<uint32_t>(pair.variant), pair.id)) return nullptr;
  Image* image = CreateImage(pair, true);
  if (!image) return nullptr;
  image->width = image->height = static_cast<float>(FontTexture::kSide);
  FontTexture* made = sheet.get();
  image->AdoptTexture(std::move(sheet));
  image->UpdateTexCoords();
  return made;
}

Image* ResourceManager::CreateImage(OwnerPair pair, bool base) {
  DrawInputsChanged();
  if (!base && (pair.id == 0 || ResourceKind(pair.id) == kKindAirData)) return nullptr;
  if (images_.count(pair)) return nullptr;
  auto image = std::make_unique<Image>();
  image->ownerVariant = static_cast<uint32_t>(pair.variant);
  image->ownerId = pair.id;
  if (!base) {
    auto texture = std::make_unique<Texture>(static_cast<uint32_t>(pair.variant), pair.id);
    // A PNG whose header cannot be read is a failed load: no entry is left,
    // and GetImage answers for the pair from now on without the files.
    if (!texture->ReadPNGSize() && texture->Kind() == kKindImage) {
      ReportMissingImage(pair, *texture);
      missingImages_.insert(pair);
      return nullptr;
    }
    image->AdoptTexture(std::move(texture));
    image->width = static_cast<float>(image->texture->width);
    image->height = static_cast<float>(image->texture->height);
    image->UpdateTexCoords();
  }
  return images_.emplace(pair, std::move(image)).first->second.get();
}

void ResourceManager::RemoveImage(int32_t variant, uint32_t id) {
  const OwnerPair pair{variant, id};
  EraseImages([&pair](const OwnerPair& candidate) { return candidate == pair; });
  missingImages_.erase(pair);
}

void ResourceManager::ReportMissingImage(OwnerPair pair, const Texture& texture) const {
  const int project = pair.variant & 0xFF;
  if (const char* path = GetPath(texture.SourceId(), project)) {
    LogPrintf("image 0x%08x of project %d: %s cannot be read as a PNG file\n", pair.id, project, path);
    return;
  }
  std::string message = "no file " + TriedResourceFiles(texture.SourceId(), project);
  if (const char* placeholder = GetPath(kPlaceholderImageId, 1)) {
    message += ", and the placeholder " + std::string(placeholder) + " cannot be read as a PNG file";
  }
  LogPrintf("image 0x%08x of project %d not found (%s)\n", pair.id, project, message.c_str());
}

Image* ResourceManager::GetImageByPageName(const char* name) {
  const size_t length = name ? std::strlen(name) : 0;
  if (length < 9) return nullptr;
  // "…/xyz/w.png": the folder's three digits and the file's one.
  const char digits[4] = {name[length - 9], name[length - 8], name[length - 7], name[length - 5]};
  uint32_t number = 0;
  for (char c : digits) {
    int value;
    if (c >= '0' && c <= '9') {
      value = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      value = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      value = c - 'A' + 10;
    } else {
      break;
    }
    number = number * 16 + static_cast<uint32_t>(value);
  }
  return GetImage(OwnerPair{loadingBase.variant & 0xFF, (loadingBase.id & 0xFFFF0000u) | number});
}

void ResourceManager::SetFont(int project, int slot, const char* name, bool load) {
  if (slot < 0) {
    if (project == 1) fontNames_.clear();
    return;
  }
  if (slot >= kFontSlots || project < 0 || project > kMaxProject) return;
  const size_t index = (static_cast<size_t>(project) << 4) | static_cast<size_t>(slot);
  if (fontNames_.size() <= index) fontNames_.resize(index + 1);
  fontNames_[index] = name ? name : "";
  const FontKey font{static_cast<uint32_t>(project), kFirstFontRecord + static_cast<uint32_t>(slot)};
  if (load && !HasTTF(font)) AddTTF(font);
}

const char* ResourceManager::GetFontName(int project, int slot) const {
  if (slot < 0 || slot >= kFontSlots || project < 0) return "";
  const size_t index = (static_cast<size_t>(project) << 4) | static_cast<size_t>(slot);
  return index < fontNames_.size() ? fontNames_[index].c_str() : "";
}

}  // namespace GCore
