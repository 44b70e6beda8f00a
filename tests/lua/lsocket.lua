-- The "lsocket" module over loopback only: every peer is started here.
local raises = require("testlib").raises
local lsocket = lsocket

-- Waits (at most two seconds) until `s` is ready for reading or writing.
local function wait(s, writing)
  local r, w
  if writing then r, w = lsocket.select(nil, {s}, 2) else r = lsocket.select({s}, 2) end
  assert(r, "socket not ready in time")
  return r, w
end

local function port_of(s) return s:info("socket").port end

-- Every socket has SO_REUSEADDR, so two UDP sockets bound to port 0 may be
-- given the same port (datagrams then reach only one): hand out each port
-- once per run.
local ports_given = {}
local function udp_bind(kind, address)
  for _ = 1, 100 do
    local s, err = lsocket.bind(kind, address, 0)
    if not s then return s, err end
    local port = port_of(s)
    if not ports_given[port] then
      ports_given[port] = true
      return s
    end
    s:close()
  end
  error("no fresh port")
end

-- A connected pair: server side, client side, listener.
local function tcp_pair()
  local listener = assert(lsocket.bind("127.0.0.1", 0))
  local client = assert(lsocket.connect("127.0.0.1", port_of(listener)))
  wait(listener)
  local server, address, port = listener:accept()
  assert(server and address == "127.0.0.1" and port == port_of(client))
  wait(client, true)
  assert(client:status() == true)
  return server, client, listener
end

-- Receives exactly n bytes.
local function receive(s, n)
  local parts, got = {}, 0
  while got < n do
    wait(s)
    local data = assert(s:recv(n - got))
    parts[#parts + 1] = data
    got = got + #data
  end
  return table.concat(parts)
end

test("module fields, socket text and descriptor handling", function()
  assert(lsocket._VERSION == "1.3" and lsocket.INADDR_ANY == "0.0.0.0" and lsocket.IN6ADDR_ANY == "::0")
  raises("Not implement", lsocket.getinterfaces)
  local s = assert(udp_bind("udp", "127.0.0.1"))
  assert(tostring(s):match("^socket: 0x%x+$"), tostring(s))
  assert(getmetatable(s).__type == "socket")
  local info = s:info()
  assert(info.fd == s:getfd() and info.family == "inet" and info.type == "udp")
  assert(info.listening == true and info.multicast == false)
  assert(s:info("other") == nil)
  local ok, err = s:setfd(5)
  assert(ok == nil and err == "bad argument #1 to 'setfd' (invalid fd)")
  local fd = s:getfd()
  assert(s:setfd(-1) == true and s:getfd() == -1)
  -- Detached: the collector must not close the handle, so a socket that
  -- takes the handle over keeps working.
  s = nil
  collectgarbage()
  local other = assert(udp_bind("udp", "127.0.0.1"))
  assert(other:getfd() ~= fd, "a detached handle was closed and reused")
end)

test("TCP: accept, exchange, idle receive, peer close, close", function()
  local server, client, listener = tcp_pair()
  assert(listener:accept() == false, "accept with nothing pending")
  assert(listener:info().listening == true and server:info().listening == false)
  assert(client:info("peer").port == port_of(listener))
  assert(client:recv() == false, "idle connection")
  assert(client:send("hello") == 5)
  assert(receive(server, 5) == "hello")
  local big = string.rep("0123456789", 100000)
  local sent = 0
  while sent < #big do
    local n = client:send(big:sub(sent + 1))
    if n then sent = sent + n else assert(n == false); wait(client, true) end
  end
  assert(receive(server, #big) == big)
  assert(server:close() == true)
  assert(server:getfd() == -1 and server:info().type == "unknown")
  wait(client)
  assert(client:recv() == nil, "peer closed")
  local ok, err = server:close()
  assert(ok == nil and type(err) == "string", "second close")
end)

test("TCP: a refused connection shows in status", function()
  local listener = assert(lsocket.bind("127.0.0.1", 0))
  local port = port_of(listener)
  listener:close()
  local client = assert(lsocket.connect("tcp", "127.0.0.1", port))
  wait(client, true)
  local ok, err = client:status()
  assert(ok == nil and type(err) == "string", "status of a refused connection")
end)

test("TCP: sending to a peer that closed returns an error (no SIGPIPE)", function()
  local server, client = tcp_pair()
  server:close()
  -- The first failure may be the reset; later sends meet the broken pipe.
  local chunk = string.rep("x", 65536)
  local failures = 0
  for _ = 1, 1000 do
    local n, err = client:send(chunk)
    if n == nil then
      assert(type(err) == "string")
      failures = failures + 1
      if failures == 3 then break end
    end
    if n == false then wait(client, true) end
  end
  assert(failures == 3, "sending to a closed peer never failed")
end)

test("recv sizes: up to 4 GiB accepted, beyond raises", function()
  local server, client = tcp_pair()
  client:send("abc")
  wait(server)
  assert(server:recv(0xFFFFFFFF) == "abc")
  raises("bad argument #1 to 'recv' (invalid number)", server.recv, server, 0x100000000)
  raises("bad argument #1 to 'recvfrom' (invalid number)", server.recvfrom, server, 0x100000000)
end)

test("arguments: kind without regard to case, missing ports", function()
  raises("number expected, got no value", lsocket.connect, "127.0.0.1")
  raises("number expected, got no value", lsocket.bind, "udp", "127.0.0.1")
  local s = assert(lsocket.bind("UDP", "127.0.0.1", 0))
  assert(s:info().type == "udp")
  local ok, err = lsocket.connect("127.0.0.1.5", 1)
  assert(ok == nil and type(err) == "string", "a bad numeric address is not looked up")
end)

test("UDP: send, sendto, recvfrom, bind on all interfaces", function()
  local any = assert(lsocket.bind("udp", 0))
  assert(any:info("socket").addr == "0.0.0.0", "no address: all IPv4 interfaces")
  any:close()
  local receiver = assert(udp_bind("udp", "0.0.0.0"))
  local port = port_of(receiver)
  assert(receiver:recvfrom() == false, "nothing pending")
  local sender = assert(lsocket.connect("udp", "127.0.0.1", port))
  assert(sender:send("one") == 3)
  wait(receiver)
  local data, address, from = receiver:recvfrom()
  assert(data == "one" and address == "127.0.0.1" and from == port_of(sender))
  assert(receiver:sendto("two", address, from) == 3)
  wait(sender)
  assert(sender:recv() == "two")
end)

test("multicast: IPv4 and IPv6 groups, kept on this host", function()
  -- A time-to-live of 0 keeps the datagrams on this machine.
  for _, group in ipairs({"239.255.77.1", "ff15::7:1"}) do
    local receiver, err = udp_bind("mcast", group)
    if not receiver then
      print("skipped: no multicast for " .. group .. ": " .. tostring(err))
    else
      assert(receiver:info().multicast == true)
      local sender = assert(lsocket.connect("mcast", group, port_of(receiver), 0))
      assert(sender:send("group " .. group))
      wait(receiver)
      assert(receiver:recvfrom() == "group " .. group)
    end
  end
  local ok, err = lsocket.connect("mcast", "/tmp/no-such-socket-dir/x", 1)
  assert(ok == nil and err == "multicast not available for unix domain sockets.")
end)

test("unix domain sockets", function()
  local path = os.tmpname()
  os.remove(path)
  local listener = assert(lsocket.bind(path))
  assert(listener:info().family == "unix")
  local client = assert(lsocket.connect(path))
  wait(listener)
  local server, address, port = listener:accept()
  assert(server and address == nil and port == nil)
  client:send("u")
  assert(receive(server, 1) == "u")
  listener:close()
  os.remove(path)
  local ok, err = lsocket.bind("/" .. string.rep("p", 108))
  assert(ok == nil and err == "unix domain path too long")
end)

test("select: argument forms and results", function()
  local ok, err = lsocket.select({}, nil)
  assert(ok == nil and err == "no open sockets to check and no timeout set")
  assert(lsocket.select({}, 0) == false)
  assert(lsocket.select(0) == false)
  raises("bad argument to 'select' (invalid option)", lsocket.select, {}, {}, 0, 1)
  raises("bad argument to 'select' (tables can only contain sockets)", lsocket.select, {1}, 0)
  local s = assert(udp_bind("udp", "127.0.0.1"))
  local r, w = lsocket.select(nil, {s})
  assert(#r == 0 and w[1] == s and #w == 1)
  r[1] = 1
  assert(r[1] == nil, "the shared empty list stays empty")
  assert(lsocket.select({s}, 0) == false, "nothing to read")
  local closed = assert(udp_bind("udp", "127.0.0.1"))
  closed:close()
  r, w = lsocket.select({s, closed}, {s, s, closed}, 0)
  assert(#r == 0 and #w == 1 and w[1] == s, "closed skipped, duplicates once")
end)

-- Runs `source` in a runner of its own, given `seconds` to finish: a select
-- that never returns ends there instead of holding this file up.
local function run_with_deadline(source, seconds)
  local path = os.tmpname()
  local file = assert(io.open(path, "w"))
  file:write(source)
  file:close()
  -- The shell's parent is this runner.
  local child = io.popen(string.format('timeout %d "$(readlink /proc/$PPID/exe)" %s 2>&1; echo "exit $?"',
                                       seconds, path))
  local output = child:read("a")
  child:close()
  os.remove(path)
  return output
end

test("select: NaN, infinite and huge timeouts wait without limit", function()
  local output = run_with_deadline([[
test("timeouts", function()
  for _, timeout in ipairs({0/0, -(0/0), math.huge, 2^63, 1e300}) do
    local ok, err = lsocket.select({}, timeout)
    assert(ok == nil and err == "no open sockets to check and no timeout set", tostring(timeout))
    local s = assert(lsocket.bind("udp", "127.0.0.1", 0))
    local r, w = lsocket.select(nil, {s}, timeout)
    assert(#r == 0 and w[1] == s, tostring(timeout))
    s:close()
  end
  -- The largest limit a timespec holds is still a limit.
  local s = assert(lsocket.bind("udp", "127.0.0.1", 0))
  local r, w = lsocket.select(nil, {s}, 2^62)
  assert(#r == 0 and w[1] == s)
end)
]], 20)
  assert(output:find("1 passed, 0 failed", 1, true) and output:find("exit 0", 1, true), output)
end)

test("select: 64 sockets per set, ready ones in ascending handle order", function()
  local sockets, sender = {}, assert(udp_bind("udp", "127.0.0.1"))
  for i = 1, 70 do sockets[i] = assert(udp_bind("udp", "127.0.0.1")) end
  -- The table order is not the handle order.
  local shuffled = {}
  for i = 70, 1, -1 do shuffled[#shuffled + 1] = sockets[i] end
  for _, s in ipairs(shuffled) do sender:sendto("x", "127.0.0.1", port_of(s)) end
  local r
  for _ = 1, 100 do
    r = assert(lsocket.select(shuffled, 1))
    if #r == 64 then break end
  end
  assert(#r == 64, "ready sockets: " .. #r)
  for i = 2, #r do assert(r[i - 1]:getfd() < r[i]:getfd()) end
  local watched = {}
  for i = 1, 64 do watched[shuffled[i]] = true end
  for _, s in ipairs(r) do assert(watched[s], "a socket beyond the first 64 was watched") end
end)

test("resolve: localhost and numeric addresses", function()
  local found = assert(lsocket.resolve("localhost"))
  local loopback = false
  for _, entry in ipairs(found) do
    assert(entry.family == "inet" or entry.family == "inet6")
    loopback = loopback or entry.addr == "127.0.0.1" or entry.addr == "::1"
  end
  assert(loopback, "localhost is not a loopback address")
  local mapped = assert(lsocket.resolve("::ffff:127.0.0.1"))
  assert(mapped[1].family == "inet6")
  local v4 = assert(lsocket.resolve("127.0.0.1"))
  assert(v4[1].family == "inet" and v4[1].addr == "127.0.0.1" and v4[1].port == nil)
  local ok, err = lsocket.resolve("300.1.1.1")
  assert(ok == nil and type(err) == "string", "a bad numeric address is not looked up")
end)
