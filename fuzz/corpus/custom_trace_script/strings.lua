local t = {}
for w in ('a b c'):gmatch('%a') do t[#t + 1] = w:rep(3) end
table.sort(t)
return #table.concat(t, ',') + tonumber(('x=12.5'):match('[%d.]+'))