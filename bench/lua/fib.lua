-- The Fibonacci kernel of bench/lua_compare.sh, as fib.amcs runs it: the
-- outer loop stands for the ticks, locals for the registers, a function
-- for the subroutine; & 0xFFFF wraps the sums as 16-bit words do.
local ticks = tonumber(arg[1])
local function step(a, b)
  return b, (a + b) & 0xFFFF
end
local total = 0
for tick = 1, ticks do
  local a, b = 0, 1
  local i = 0
  while i < 1000 do
    a, b = step(a, b)
    i = i + 1
  end
  total = (total + a) & 0xFFFF
end
print(total)
