local function build()
  local parts = {}
  for i = 1, 160000 do
    parts[i] = "piece"
  end
  return table.concat(parts)
end
print(#build())
