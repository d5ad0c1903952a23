local s = 0
for i = 1, 100 do s = s + math.sin(i) end
return s