// Script members of GCore::ParticleSystem: one property for each emitter
// setting (no methods); every other key goes on to the members of entities.
// The settings that the two emitter modes read differently answer to one
// name for each mode: both names read and write the same value.
#include <cmath>
#include <limits>
#include <type_traits>

#include "display/MemberBinding.h"
#include "display/ParticleSystem.h"

namespace GCore {

namespace {

using PS = ParticleSystem;
using M = Member<PS>;

// A setting of ParticleSettings: floats as floats, integers truncated to
// their width, unsigned ones read back as unsigned.
template <auto Field>
void GetSetting(lua_State* L, PS& p) {
  const auto value = p.settings.*Field;
  if constexpr (std::is_floating_point_v<decltype(value)>) {
    lua_pushnumber(L, value);
  } else {
    lua_pushinteger(L, static_cast<lua_Integer>(value));
  }
}

template <auto Field>
void SetSetting(lua_State* L, PS& p) {
  auto& field = p.settings.*Field;
  using T = std::remove_reference_t<decltype(field)>;
  if constexpr (std::is_floating_point_v<T>) {
    field = FloatValue(L, 3);
  } else {
    field = static_cast<T>(UnsignedValue(L, 3));
  }
}

// A count or rate assigned as T: math.huge asks for the most T holds (the
// emitter caps what it keeps); any other value is truncated as the other
// integer settings are, NaN giving 0.
template <typename T>
T CountValue(lua_State* L) {
  return lua_tonumberx(L, 3, nullptr) == HUGE_VAL ? std::numeric_limits<T>::max()
                                                  : static_cast<T>(UnsignedValue(L, 3));
}

template <auto Field>
void SetCount(lua_State* L, PS& p) {
  auto& field = p.settings.*Field;
  field = CountValue<std::remove_reference_t<decltype(field)>>(L);
}

// One channel (red, green, blue, alpha) of a colour variance, 16 bits.
template <auto Variances, int Channel>
void GetVariance(lua_State* L, PS& p) {
  lua_pushinteger(L, (p.settings.*Variances)[Channel]);
}

template <auto Variances, int Channel>
void SetVariance(lua_State* L, PS& p) {
  (p.settings.*Variances)[Channel] = static_cast<int16_t>(UnsignedValue(L, 3));
}

template <bool PS::*Flag>
void GetSwitch(lua_State* L, PS& p) {
  lua_pushboolean(L, p.*Flag);
}

template <bool PS::*Flag>
void SetSwitch(lua_State* L, PS& p) {
  p.*Flag = lua_toboolean(L, 3) != 0;
}

using S = ParticleSettings;

const M kMembers[] = {
    {"maxParticles", [](lua_State* L, PS& p) { lua_pushinteger(L, p.settings.maxParticles); },
     [](lua_State* L, PS& p) { p.Restart(CountValue<uint32_t>(L)); }, nullptr},
    {"duration", GetSetting<&S::duration>, SetSetting<&S::duration>, nullptr},
    {"emissionRate", GetSetting<&S::emissionRate>, SetCount<&S::emissionRate>, nullptr},
    {"angle", GetSetting<&S::angle>, SetSetting<&S::angle>, nullptr},
    {"angleVar", GetSetting<&S::angleVar>, SetSetting<&S::angleVar>, nullptr},
    {"spareValue", GetSetting<&S::spareValue>, SetSetting<&S::spareValue>, nullptr},
    {"emitterMode", GetSetting<&S::emitterMode>, SetSetting<&S::emitterMode>, nullptr},
    {"life", GetSetting<&S::life>, SetSetting<&S::life>, nullptr},
    {"lifeVar", GetSetting<&S::lifeVar>, SetSetting<&S::lifeVar>, nullptr},
    {"startSize", GetSetting<&S::startSize>, SetSetting<&S::startSize>, nullptr},
    {"startSizeVar", GetSetting<&S::startSizeVar>, SetSetting<&S::startSizeVar>, nullptr},
    {"endSize", GetSetting<&S::endSize>, SetSetting<&S::endSize>, nullptr},
    {"endSizeRange", GetSetting<&S::endSizeVar>, SetSetting<&S::endSizeVar>, nullptr},
    {"startColor", GetSetting<&S::startColor>, SetSetting<&S::startColor>, nullptr},
    {"startAlpha", GetSetting<&S::startAlpha>, SetSetting<&S::startAlpha>, nullptr},
    {"startRedVar", GetVariance<&S::startColorVar, 0>, SetVariance<&S::startColorVar, 0>, nullptr},
    {"startGreenVar", GetVariance<&S::startColorVar, 1>, SetVariance<&S::startColorVar, 1>,
     nullptr},
    {"startBlueVar", GetVariance<&S::startColorVar, 2>, SetVariance<&S::startColorVar, 2>, nullptr},
    {"startAlphaVar", GetVariance<&S::startColorVar, 3>, SetVariance<&S::startColorVar, 3>,
     nullptr},
    {"endColor", GetSetting<&S::endColor>, SetSetting<&S::endColor>, nullptr},
    {"endAlpha", GetSetting<&S::endAlpha>, SetSetting<&S::endAlpha>, nullptr},
    {"endRedVar", GetVariance<&S::endColorVar, 0>, SetVariance<&S::endColorVar, 0>, nullptr},
    {"endGreenVar", GetVariance<&S::endColorVar, 1>, SetVariance<&S::endColorVar, 1>, nullptr},
    {"endBlueVar", GetVariance<&S::endColorVar, 2>, SetVariance<&S::endColorVar, 2>, nullptr},
    {"endAlphaVar", GetVariance<&S::endColorVar, 3>, SetVariance<&S::endColorVar, 3>, nullptr},
    {"startSpin", GetSetting<&S::startSpin>, SetSetting<&S::startSpin>, nullptr},
    {"startSpinVar", GetSetting<&S::startSpinVar>, SetSetting<&S::startSpinVar>, nullptr},
    {"endSpin", GetSetting<&S::endSpin>, SetSetting<&S::endSpin>, nullptr},
    {"endSpinVar", GetSetting<&S::endSpinVar>, SetSetting<&S::endSpinVar>, nullptr},
    {"emitting", GetSwitch<&PS::emitting>, SetSwitch<&PS::emitting>, nullptr},
    {"hasParticles", GetSwitch<&PS::hasParticles>, SetSwitch<&PS::hasParticles>, nullptr},
    {"speed", GetSetting<&S::param1>, SetSetting<&S::param1>, nullptr},
    {"startRadius", GetSetting<&S::param1>, SetSetting<&S::param1>, nullptr},
    {"speedVar", GetSetting<&S::param1Var>, SetSetting<&S::param1Var>, nullptr},
    {"startRadiusVar", GetSetting<&S::param1Var>, SetSetting<&S::param1Var>, nullptr},
    {"gravityX", GetSetting<&S::param2>, SetSetting<&S::param2>, nullptr},
    {"endRadius", GetSetting<&S::param2>, SetSetting<&S::param2>, nullptr},
    {"gravityY", GetSetting<&S::param3>, SetSetting<&S::param3>, nullptr},
    {"endRadiusVar", GetSetting<&S::param3>, SetSetting<&S::param3>, nullptr},
    {"radialAccel", GetSetting<&S::param4>, SetSetting<&S::param4>, nullptr},
    {"rotatePerSecond", GetSetting<&S::param4>, SetSetting<&S::param4>, nullptr},
    {"radialAccelVar", GetSetting<&S::param4Var>, SetSetting<&S::param4Var>, nullptr},
    {"rotatePerSecondVar", GetSetting<&S::param4Var>, SetSetting<&S::param4Var>, nullptr},
    {"tangentialAccel", GetSetting<&S::tangentialAccel>, SetSetting<&S::tangentialAccel>, nullptr},
    {"tangentialAccelVar", GetSetting<&S::tangentialAccelVar>, SetSetting<&S::tangentialAccelVar>,
     nullptr},
};

const MemberTable<PS>& Members() {
  static const MemberTable<PS> table(kMembers);
  return table;
}

}  // namespace

void RegisterParticleSystemClass(lua_State* L) {
  RegisterDisplayClass<PS>(L, EntitySubclassIndex<PS, Members>,
                           EntitySubclassNewIndex<PS, Members>);
}

int NewParticleSystemScript(lua_State* L) { return ConstructDisplayObject<PS>(L); }

}  // namespace GCore
