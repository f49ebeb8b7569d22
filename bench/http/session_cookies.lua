-- wrk script: each thread cycles through its own share of the session cookies in the file given
-- as the first argument (one "NAME=VALUE" per line), so the requests in flight at one time
-- belong to different visitors, each of whom keeps its cookie as a browser does.
--   wrk -t2 -c32 -s session_cookies.lua URL -- COOKIE_FILE THREADS
local cookies = {}
local position = 1
local threads_made = 0

function setup(thread)
  threads_made = threads_made + 1
  thread:set("share", threads_made)
end

function init(args)
  local all = {}
  for line in io.lines(args[1]) do
    if line ~= "" then all[#all + 1] = line end
  end
  local threads = tonumber(args[2])
  for i = share, #all, threads do cookies[#cookies + 1] = all[i] end
end

function request()
  local cookie = cookies[position]
  position = position % #cookies + 1
  return wrk.format(nil, nil, { ["Cookie"] = cookie })
end
