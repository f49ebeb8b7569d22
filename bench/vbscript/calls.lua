local function add_one(a, b)
  return a + b
end
local total = 0
for i = 1, 1000000 do
  total = add_one(total, 1)
end
print(total)
