// Script members of GCore::ParticleSystem: one property for each emitter
// setting (no methods); every other key goes on to the members of entities.
// The settings that the two emitter modes read differently answer to one
// name for each mode: both names read and write the same value.
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
constexpr M Setting(const char* name) {
  return {name,
          [](lua_State* L, PS& p) {
            const auto value = p.settings.*Field;
            if constexpr (std::is_floating_point_v<decltype(value)>) {
              lua_pushnumber(L, value);
            } else {
              lua_pushinteger(L, static_cast<lua_Integer>(value));
            }
          },
          [](lua_State* L, PS& p) {
            auto& field = p.settings.*Field;
            using T = std::remove_reference_t<decltype(field)>;
            if constexpr (std::is_floating_point_v<T>) {
              field = FloatValue(L, 3);
            } else {
              field = static_cast<T>(UnsignedValue(L, 3));
            }
          },
          nullptr};
}

// One channel of a colour variance (red, green, blue, alpha), 16 bits.
template <auto Variances, int Channel>
constexpr M Variance(const char* name) {
  return {name, [](lua_State* L, PS& p) { lua_pushinteger(L, (p.settings.*Variances)[Channel]); },
          [](lua_State* L, PS& p) {
            (p.settings.*Variances)[Channel] = static_cast<int16_t>(UnsignedValue(L, 3));
          },
          nullptr};
}

template <bool PS::*Flag>
constexpr M Switch(const char* name) {
  return {name, [](lua_State* L, PS& p) { lua_pushboolean(L, p.*Flag); },
          [](lua_State* L, PS& p) { p.*Flag = lua_toboolean(L, 3) != 0; }, nullptr};
}

using S = ParticleSettings;

const M kMembers[] = {
    {"maxParticles", [](lua_State* L, PS& p) { lua_pushinteger(L, p.settings.maxParticles); },
     [](lua_State* L, PS& p) { p.Restart(UnsignedValue(L, 3)); }, nullptr},
    Setting<&S::duration>("duration"),
    Setting<&S::emissionRate>("emissionRate"),
    Setting<&S::angle>("angle"),
    Setting<&S::angleVar>("angleVar"),
    Setting<&S::spareValue>("spareValue"),
    Setting<&S::emitterMode>("emitterMode"),
    Setting<&S::life>("life"),
    Setting<&S::lifeVar>("lifeVar"),
    Setting<&S::startSize>("startSize"),
    Setting<&S::startSizeVar>("startSizeVar"),
    Setting<&S::endSize>("endSize"),
    Setting<&S::endSizeVar>("endSizeRange"),
    Setting<&S::startColor>("startColor"),
    Setting<&S::startAlpha>("startAlpha"),
    Variance<&S::startColorVar, 0>("startRedVar"),
    Variance<&S::startColorVar, 1>("startGreenVar"),
    Variance<&S::startColorVar, 2>("startBlueVar"),
    Variance<&S::startColorVar, 3>("startAlphaVar"),
    Setting<&S::endColor>("endColor"),
    Setting<&S::endAlpha>("endAlpha"),
    Variance<&S::endColorVar, 0>("endRedVar"),
    Variance<&S::endColorVar, 1>("endGreenVar"),
    Variance<&S::endColorVar, 2>("endBlueVar"),
    Variance<&S::endColorVar, 3>("endAlphaVar"),
    Setting<&S::startSpin>("startSpin"),
    Setting<&S::startSpinVar>("startSpinVar"),
    Setting<&S::endSpin>("endSpin"),
    Setting<&S::endSpinVar>("endSpinVar"),
    Switch<&PS::emitting>("emitting"),
    Switch<&PS::hasParticles>("hasParticles"),
    Setting<&S::param1>("speed"),
    Setting<&S::param1>("startRadius"),
    Setting<&S::param1Var>("speedVar"),
    Setting<&S::param1Var>("startRadiusVar"),
    Setting<&S::param2>("gravityX"),
    Setting<&S::param2>("endRadius"),
    Setting<&S::param3>("gravityY"),
    Setting<&S::param3>("endRadiusVar"),
    Setting<&S::param4>("radialAccel"),
    Setting<&S::param4>("rotatePerSecond"),
    Setting<&S::param4Var>("radialAccelVar"),
    Setting<&S::param4Var>("rotatePerSecondVar"),
    Setting<&S::tangentialAccel>("tangentialAccel"),
    Setting<&S::tangentialAccelVar>("tangentialAccelVar"),
};

const MemberTable<PS>& Members() {
  static const MemberTable<PS> table(kMembers);
  return table;
}

int ParticleSystemIndex(lua_State* L) {
  PS* self = ToObject<PS>(L, 1);
  if (!self) return 0;
  const int results = Members().Index(L, *self);
  return results >= 0 ? results : IndexEntityMembers(L, self);
}

int ParticleSystemNewIndex(lua_State* L) {
  PS* self = ToObject<PS>(L, 1);
  if (self && !Members().NewIndex(L, *self)) NewIndexEntityMembers(L, self);
  return 0;
}

}  // namespace

void RegisterParticleSystemClass(lua_State* L) {
  RegisterDisplayClass<PS>(L, ParticleSystemIndex, ParticleSystemNewIndex);
}

int NewParticleSystemScript(lua_State* L) { return ConstructDisplayObject<PS>(L); }

}  // namespace GCore
