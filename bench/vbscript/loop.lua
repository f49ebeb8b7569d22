local function loop3m()
  local total = 0
  for i = 1, 3000000 do
    if i % 2 == 0 then
      total = total + 3
    else
      total = total + 1
    end
  end
  return total
end
print(loop3m())
