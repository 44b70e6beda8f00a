-- The peer's window for the bunnymark: the engine's size, no vsync.
function love.conf(t)
  t.identity = 'quarvelin-bunnymark'
  t.window.title = 'bunnymark'
  t.window.width = 1024
  t.window.height = 768
  t.window.vsync = 0
  t.modules.audio = false
  t.modules.sound = false
  t.modules.joystick = false
  t.modules.physics = false
end
