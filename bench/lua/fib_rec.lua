-- The recursive kernel of bench/lua_compare.sh, as fib_rec.amcs runs it:
-- fib(25) by plain recursion, & 0xFFFF wrapping the sums, `runs` times.
local runs = tonumber(arg[1])
local function fib(n)
  if n < 2 then return n end
  return (fib(n - 1) + fib(n - 2)) & 0xFFFF
end
local total = 0
for run = 1, runs do
  total = (total + fib(25)) & 0xFFFF
end
print(total)
