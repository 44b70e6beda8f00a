# The TMX loader's sources, shared by its library and its fuzz build.
set(QUARVELIN_TILEMAP_SOURCES
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
