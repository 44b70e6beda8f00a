-- Music that loops on channel 0 and fades in, a beep on a free channel every
-- second and a half, and the music fading out after twelve seconds. The log
-- shows the music channel's states as they change.
local g = require("gcore.c")

local MUSIC, BEEP = 0x90010001, 0x90010002
local MUSIC_CHANNEL = 0
local STATES = {[0] = "ended", [3] = "playing", [4] = "paused", [5] = "stopped", [6] = "fading in",
                [7] = "fading out"}

-- Play(id, volume, loop, channel, fade-in ms): false without an audio device.
g.clog("sound: the music starts: " .. tostring(g.Play(MUSIC, 0.8, true, MUSIC_CHANNEL, 2000)) .. "\n")

local frames, nextBeep, fadingOut, shown = 0, 1500, false, 0
g.SetMainloop(function(gameTime)
  if gameTime < 0 then
    g.clog("sound: closing\n")
    return
  end
  frames = frames + 1
  -- Commands take effect on the audio thread's next turn, a few frames later.
  local state = g.GetAudioState(MUSIC_CHANNEL)
  if state ~= shown then
    g.clog("sound: the music is " .. STATES[state] .. "\n")
    shown = state
  end
  if frames == 10 then g.clog("sound: ready\n") end
  if gameTime >= nextBeep then
    g.Play(BEEP, 1, false, -1)
    nextBeep = nextBeep + 1500
  end
  if gameTime >= 12000 and not fadingOut then
    g.Stop(MUSIC_CHANNEL, 3000)
    fadingOut = true
  end
end)
