local s = ""
for i = 1, 200000 do
  s = s .. "piece"
end
print(#s)
