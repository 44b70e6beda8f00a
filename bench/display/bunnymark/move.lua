-- The bunnymark's physics, shared by the program's benchmarks and LÖVE's
-- main.lua: steps every bunny of the list (fields x, y, vx, vy) inside a
-- 1024 x 768 area, bouncing off its sides and floor, and sets `x` and `y` of
-- its sprite `q`.
return function(list)
  for i = 1, #list do
    local b = list[i]
    local x, y, vx, vy = b.x + b.vx, b.y + b.vy, b.vx, b.vy + 0.75
    if x > 998 then vx = -vx; x = 998 elseif x < 0 then vx = -vx; x = 0 end
    if y > 731 then vy = vy * -0.85; y = 731 elseif y < 0 then vy = 0; y = 0 end
    b.x, b.y, b.vx, b.vy = x, y, vx, vy
    local q = b.q
    q.x = x; q.y = y
  end
end
