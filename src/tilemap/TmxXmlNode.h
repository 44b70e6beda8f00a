#pragma once
// The XML node type the model's parse functions take, declared without
// pugixml's header, so that readers of the model (the tile map) do not see
// the XML library: only the loader's own sources include it.
namespace pugi {
class xml_node;
}  // namespace pugi
