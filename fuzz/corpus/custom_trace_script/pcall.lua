local ok, e = pcall(function() return nil + 1 end)
return ok and 1 or #tostring(e)