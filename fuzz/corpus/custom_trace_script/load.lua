local f = load('return ' .. current_time)
return f()