-- Git from a script: make a repository in the write folder, commit a note
-- and list what the commit holds, one command at a time, polled each frame.
local g = require("gcore.c")
local git = require("git.c")

local function say(text) g.clog("git: " .. text .. "\n") end

local notes = g.GetWorkDir() .. "/write/notes"
local steps = {
  {"init", "--quiet", notes},
  {"config", "user.name", "Example Author"},
  {"config", "user.email", "author@example.org"},
  {"add", notes .. "/"},
  {"commit", "-m", "A first note"},
  {"ls-files"},
}
local current = 0
local output = {}

-- Each record is '1' (output) or '0' (an error) and the text.
local function report(step, text)
  for channel, line in text:gmatch("([01])([^\n]*)\n?") do
    say(step[1] .. (channel == "0" and ": error: " or ": ") .. line)
  end
end

local function writeNote()
  local note = assert(io.open(notes .. "/note.txt", "w"))
  note:write("Remember the blue door.\n")
  note:close()
end

g.SetMainloop(function(gameTime)
  if gameTime < 0 then return end
  if current > 0 then
    git.update(function(text) output[#output + 1] = text end)
    if git.state() ~= "idle" then return end
    report(steps[current], table.concat(output))
    output = {}
    -- init makes the folder; the note goes in once it is there.
    if steps[current][1] == "init" then writeNote() end
  end
  current = current + 1
  local step = steps[current]
  if not step then
    say("ready")
    g.SetMainloop(nil)
    return
  end
  -- false: queued. The path of "init" need not be a repository.
  git.cmd(notes, table.unpack(step))
end)
