count = (count or 0) + 1
if count > 2 then error("late") end
return count