-- The peer's window for the start-up benchmark: the engine's size, no vsync,
-- every module as LÖVE loads it by default.
function love.conf(t)
  t.identity = 'quarvelin-startup'
  t.window.title = 'startup'
  t.window.width = 1024
  t.window.height = 768
  t.window.vsync = 0
end
