local function grow()
  local s = ""
  for _ = 1, 50000 do
    s = s .. "piece"
  end
  return s
end
print(#grow())
