-- The counting loop of bench/lua_compare.sh, as count.amcs runs it: the
-- outer loop stands for the ticks, locals for the registers.
local ticks = tonumber(arg[1])
local s = 0
for tick = 1, ticks do
  local i = 0
  while i < 5000 do
    s = (s + i) & 0x3FFF
    i = i + 1
  end
end
print(s)
