#pragma once
// The resource manager caches everything loaded by resource id, keyed by the
// owning project and the id: images with their textures, air action data,
// skeletal-animation records and font names. It keeps texture memory within
// a budget of power-of-two texels and evicts the least recently used resident
// textures when the budget is reached.
// Ownership: the manager owns its images, air records and skeletal records;
// an image owns its texture when their (variant, id) pairs match. Pointers it
// hands out stay valid until the entry is removed, its project is cleared or
// the manager is cleared.
// The engine has one manager at a time: constructing one makes it
// g_resourceManager, destroying it clears that pointer. Main thread only.
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/AirData.h"
#include "spine/SpineHost.h"
#include "spine/SpineRecords.h"

namespace GCore {

class FontTexture;
class Image;
class Texture;

// (variant, id): the variant's low byte is the 1-based project index (0 in a
// request means the current project). Ordered by variant (signed), then id.
struct OwnerPair {
  int32_t variant = 0;
  uint32_t id = 0;
  friend bool operator<(const OwnerPair& l, const OwnerPair& r) {
    return std::tie(l.variant, l.id) < std::tie(r.variant, r.id);
  }
  friend bool operator==(const OwnerPair&, const OwnerPair&) = default;
};

// The scratch image that image grids point at their current cell.
constexpr uint32_t kScratchImageId = 0x56000FF1;
// Texture budget in texels.
constexpr int64_t kTextureBudget = 0x2800000;

// Smallest power of two at least n: 1 for 0 and 1, 0 for negative n, at most 2^31.
int64_t PowerOfTwoAtLeast(int64_t n);

class ResourceManager {
 public:
  ResourceManager();
  ResourceManager(const ResourceManager&) = delete;
  ResourceManager& operator=(const ResourceManager&) = delete;
  virtual ~ResourceManager();

  // Releases every cached image (with its texture), air record and skeletal
  // record.
  void Clear();
  // The same for the entries of one project.
  void ClearProject(int project);
  // Every cached texture forgets its GL name, so that it is uploaded again
  // (the renderer was rebuilt).
  void ResetTextures();

  // The renderer calls this on every use of an uploaded texture.
  void TouchTexture(Texture* texture);
  // Releases the GL texture and the pixels; the texture stays with its image
  // and is decoded and uploaded again on its next use.
  void EvictTexture(Texture* texture);
  bool IsResident(const Texture* texture) const { return residentIndex_.count(texture) != 0; }
  size_t ResidentCount() const { return resident_.size(); }
  const std::list<Texture*>& ResidentTextures() const { return resident_; }

  // The image of the pair, created on first request; null when none can be
  // made. A pair whose file is missing or unreadable is logged once and
  // remembered as such (no further look at the file system) until it is
  // removed or its project cleared. For a glyph-sheet id (kind 6) the cell of
  // the glyph of byte 0 in the style of byte 1, from the sheet of the id's
  // upper half.
  Image* GetImage(OwnerPair pair);
  // The glyph sheet of a kind-6 id (its lower half ignored), made on first
  // request: bits 16 to 23 give the font's pixel height, bits 24 to 27 its
  // slot. Null (with one message per id) for a pixel height of 0.
  FontTexture* GetGlyphSheet(OwnerPair pair);
  // The image of the pair when it is in the table already (nothing is made).
  Image* FindImage(OwnerPair pair) const;
  // The image of a skeletal atlas page, named ".../xyz/w.png", of the atlas
  // being loaded.
  Image* GetImageByPageName(const char* name);
  // A new image for the pair; null when it exists already or cannot be made.
  // With `base` the caller fills rectangle and texture.
  Image* CreateImage(OwnerPair pair, bool base);
  // Removes the image of the pair, or forgets that it could not be made.
  void RemoveImage(int32_t variant, uint32_t id);

  // Cached air data of the pair, or null.
  AirData* GetAirData(OwnerPair pair);
  // Caches parsed air data under the pair (replacing an older record).
  AirData* AddAirData(OwnerPair pair, std::unique_ptr<AirData> data);
  void RemoveAirData(OwnerPair pair);

  // The skeletal record of (atlas pair, skeleton id), loaded on first
  // request; null when the atlas or the skeleton cannot be read.
  std::shared_ptr<SpineRecord> LoadSpine(OwnerPair atlas, uint32_t skeletonId);
  // Drops the cached record; skeletons made from it keep it until they go.
  void ReleaseSpine(int32_t variant, uint32_t atlasId, uint32_t skeletonId);

  // Font name of a project's slot (0 to 15); slot < 0 with project 1 empties
  // the table. With `load`, the slot's TrueType file (font record 0x72000001 +
  // slot) is registered unless it is already.
  void SetFont(int project, int slot, const char* name, bool load);
  const char* GetFontName(int project, int slot) const;
  // Entries of the font-name table, slots of every project up to the highest set.
  size_t FontNameCount() const { return fontNames_.size(); }

  int64_t budget = kTextureBudget;
  OwnerPair loadingBase;  // the atlas being loaded, for page names
  int64_t used = 0;       // power-of-two texels of the resident textures

 private:
  using SpineKey = std::tuple<int32_t, uint32_t, uint32_t>;

  OwnerPair Normalise(OwnerPair pair) const;
  FontTexture* LoadGlyphSheet(OwnerPair pair);
  // The skeletal runtime's ways to files, page textures and the log while
  // this manager is the engine's.
  static const SpineHost& EngineSpineHost();
  // Erases the images for which `drop` holds, after clearing every pointer
  // to a texture about to be deleted.
  template <class Predicate>
  void EraseImages(Predicate drop);
  // Clears the atlas pages (of every skeletal record still alive) that show
  // a texture about to be deleted, and drops their records from the cache,
  // so that the next load finds the page images again.
  void ForgetPageTextures(const std::unordered_set<const Texture*>& doomed);
  // Says why the pair's image could not be made: its file is missing (with
  // the paths tried) or not a readable PNG.
  void ReportMissingImage(OwnerPair pair, const Texture& texture) const;

  std::map<OwnerPair, std::unique_ptr<Image>> images_;
  std::set<OwnerPair> missingImages_;  // images that could not be made
  std::map<SpineKey, std::shared_ptr<SpineRecord>> spines_;
  // Every record made, cached or not: display objects keep playing records
  // the cache has let go of.
  std::vector<std::weak_ptr<SpineRecord>> spinesMade_;
  std::map<OwnerPair, std::unique_ptr<AirData>> airData_;
  // A resident texture's place in the list and the area counted for it: its
  // size can change while it stays listed (decoded again after a renderer
  // rebuild), and eviction must take back what was counted.
  struct ResidentEntry {
    std::list<Texture*>::iterator at;
    int64_t area;
  };
  std::list<Texture*> resident_;  // least recently used first
  std::unordered_map<const Texture*, ResidentEntry> residentIndex_;
  std::vector<std::string> fontNames_;
  std::set<OwnerPair> refusedSheets_;  // told once
};

extern ResourceManager* g_resourceManager;

}  // namespace GCore
