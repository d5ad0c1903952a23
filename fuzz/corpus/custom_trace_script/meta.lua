local t = setmetatable({}, {__index = function(t, k) return k * 2 end})
return t[21]