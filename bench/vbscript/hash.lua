local function hash_sum()
  local d = {}
  for i = 1, 200000 do
    d["key" .. i] = i
  end
  local found = 0
  for i = 1, 200000 do
    local v = d["key" .. i]
    if v ~= nil then found = found + v end
  end
  return found
end
print(hash_sum())
