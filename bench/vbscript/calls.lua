local function add_one(a, b)
  return a + b
end

local function call_million()
  local total = 0
  for _ = 1, 1000000 do
    total = add_one(total, 1)
  end
  return total
end
print(call_million())
