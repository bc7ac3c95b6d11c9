-- wrk script for the score server. With WRK_UPLOADS set in the environment
-- every request is a distinct upload built the launcher's way (player
-- string "name:::N", score XOR 0x07B7B7B7); otherwise the given path is read.
-- WRK_SCORE=N makes every upload that score (ties).
-- With WRK_RECORD=PATH each thread appends the name of every upload answered
-- 200 to PATH.N (read off the answer's highlighted row).
-- At the end it prints one line: requests/s, p99 latency, non-2xx answers, errors.
local uploads = os.getenv("WRK_UPLOADS") ~= nil
local fixed = tonumber(os.getenv("WRK_SCORE") or "")
local record = os.getenv("WRK_RECORD")
local recorded = nil
local threads = {}
local counter = 0

function setup(thread)
  thread:set("tid", #threads)
  table.insert(threads, thread)
end

function request()
  if not uploads then return wrk.request() end
  counter = counter + 1
  local score = fixed or (counter * 7919 + tid * 104729) % 1000000
  local sent = bit.bxor(score, 0x07B7B7B7)
  return wrk.format("GET", "/cgi-bin/hiscore.cgi?game=Quibbleton&name=w" .. tid .. "-" .. counter ..
                    ":::N&score=" .. sent)
end

if record then
  function response(status, headers, body)
    if status ~= 200 then return end
    if not recorded then recorded = io.open(record .. "." .. tid, "a") end
    local name = string.match(body, '<tr class="you"><td class="n">%d+</td><td>([^<]*)</td>')
    if name then
      recorded:write(name, "\n")
      recorded:flush()
    end
  end
end

function done(summary, latency, requests)
  local e = summary.errors
  io.write(string.format("RESULT requests/s %.0f p99_ms %.2f p50_ms %.2f non2xx %d errors %d requests %d\n",
    summary.requests / (summary.duration / 1e6), latency:percentile(99) / 1000, latency:percentile(50) / 1000,
    e.status, e.connect + e.read + e.write + e.timeout, summary.requests))
end
