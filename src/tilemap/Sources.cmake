# The TMX loader's sources and the tile map's plain tables, shared by the
# library and its fuzz build.
set(QUARVELIN_TILEMAP_SOURCES
  RectPacker.cpp
  TiledMapData.cpp
  TmxEncoding.cpp
  TmxImageSize.cpp
  TmxImageLayer.cpp
  TmxLayer.cpp
  TmxLog.cpp
  TmxMap.cpp
  TmxObject.cpp
  TmxObjectGroup.cpp
  TmxPath.cpp
  TmxProperty.cpp
  TmxTileLayer.cpp
  TmxTileset.cpp
  TmxXmlFile.cpp
)
