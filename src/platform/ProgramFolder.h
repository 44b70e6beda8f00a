#pragma once
#include <string>

namespace GCore {

// The folder of the running executable, without a final "/"; empty when the
// system does not say.
std::string ProgramFolder();

}  // namespace GCore
