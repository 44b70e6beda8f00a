#include "core/ClassFactory.h"

namespace GCore {

std::map<const ClassInfo*, ClassCreator>& ClassFactory() {
  static std::map<const ClassInfo*, ClassCreator> factory;
  return factory;
}

}  // namespace GCore
