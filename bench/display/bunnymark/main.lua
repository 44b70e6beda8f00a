-- Bunnymark in LÖVE, the peer figures beside the engine's (BunnyMarkBench).
-- Arguments: sprites, "moving" or "static", most measured frames, fewest
-- measured frames, seconds, warm-up frames. Every bunny is drawn by its own
-- love.graphics.draw call (LÖVE may merge consecutive draws of one image into
-- one draw call; the figures say how many reached GL). Each frame's work
-- (update, draw, present) is timed by love.timer.getTime, and so is love.draw
-- alone (the submit: every bunny's draw call, LÖVE's transform and batching);
-- at the end one line of figures is printed, as the engine's frame-benchmark
-- program prints it, with the shortest submit of a frame last (the one least
-- disturbed by other processes, as the engine's headless figures are taken).
local count, moving, maxFrames, minFrames, seconds, warmUp = 1000, true, 200, 10, 4, 5
local bunnies, image = {}, nil

local move = require('move')

function love.load(args)
  count = tonumber(args[1]) or count
  moving = args[2] ~= 'static'
  maxFrames = tonumber(args[3]) or maxFrames
  minFrames = tonumber(args[4]) or minFrames
  seconds = tonumber(args[5]) or seconds
  warmUp = tonumber(args[6]) or warmUp
  local data = love.image.newImageData(26, 37)
  data:mapPixel(function(x, y)
    if x == 0 or y == 0 or x == 25 or y == 36 then return 0, 0, 0, 0 end
    return 240 / 255, (200 + y) / 255, (180 + 2 * x) / 255, 1
  end)
  image = love.graphics.newImage(data)
  image:setFilter('nearest', 'nearest')
  love.graphics.setBlendMode('alpha')
  for i = 1, count do
    -- The sprite is a plain table here: LÖVE keeps no display objects.
    local x, y = love.math.random(0, 998), love.math.random(0, 731)
    bunnies[i] = { q = { x = x, y = y }, x = x, y = y,
                   vx = love.math.random() * 10, vy = love.math.random() * 10 - 5 }
  end
end

function love.update()
  if moving then move(bunnies) end
end

function love.draw()
  local draw = love.graphics.draw
  for i = 1, count do
    local q = bunnies[i].q
    draw(image, q.x, q.y)
  end
end

local function peakKb()
  local status = io.open('/proc/self/status')
  if not status then return -1 end
  for line in status:lines() do
    local kb = line:match('^VmHWM:%s*(%d+)')
    if kb then status:close(); return tonumber(kb) end
  end
  status:close()
  return -1
end

local function report(times, drawCalls, submit)
  local total = 0
  for _, t in ipairs(times) do total = total + t end
  table.sort(times)
  print(string.format('frame figures: %d %.3f %.3f %.1f %d %.4f', #times, total * 1e3 / #times,
                      times[math.floor(#times / 2) + 1] * 1e3, drawCalls / #times, peakKb(),
                      submit * 1e3))
end

function love.run()
  love.load(love.arg.parseGameArguments(arg), arg)
  love.timer.step()
  local frames, drawCalls, times, start, submit = 0, 0, {}, nil, math.huge
  return function()
    love.event.pump()
    for name in love.event.poll() do
      if name == 'quit' then return 0 end
    end
    local t0 = love.timer.getTime()
    love.update(love.timer.step())
    love.graphics.origin()
    love.graphics.clear(0, 0, 0)
    local d0 = love.timer.getTime()
    love.draw()
    local d1 = love.timer.getTime()
    local stats = love.graphics.getStats()
    love.graphics.present()
    local t1 = love.timer.getTime()
    frames = frames + 1
    if frames > warmUp then
      start = start or t0
      times[#times + 1] = t1 - t0
      submit = math.min(submit, d1 - d0)
      drawCalls = drawCalls + stats.drawcalls
      if #times >= maxFrames or (#times >= minFrames and t1 - start >= seconds) then
        report(times, drawCalls, submit)
        return 0
      end
    end
  end
end
