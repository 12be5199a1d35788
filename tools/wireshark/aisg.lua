-- AISG bus dissector for Wireshark, for the captures that Tiltdeck writes
-- (tiltdeck-cli --capture, aldsim --capture, tiltdeck-cli trace2pcap).
--
-- Each packet holds the octets of one transfer on the RS-485 line: what the
-- primary station wrote, or what one read brought back, which may be several
-- HDLC frames (answers of several devices), or a frame cut at the start or
-- the end of the read. The packet flags carry the direction, seen from the
-- primary station. The captures use link type USER0 (147), which this
-- dissector claims.
--
--   tshark -X lua_script:aisg.lua -r capture.pcapng
--   wireshark -X lua_script:aisg.lua capture.pcapng
--
-- or copy the file into Wireshark's personal Lua plugins folder.

local aisg = Proto("aisg", "AISG bus")

-- BEGIN VOCABULARY
-- Generated from Tiltdeck's layer-7 vocabulary by aisg_vocabulary; a test
-- checks that it still matches. Do not edit by hand: run
--   build/bin/aisg_vocabulary --update tools/wireshark/aisg.lua
local procedures = {
  [0x03] = { name = "Reset", subunit = false },
  [0x04] = { name = "Get Alarm Status", subunit = false },
  [0x05] = { name = "Get Info", subunit = false },
  [0x06] = { name = "Clear Alarms", subunit = false },
  [0x07] = { name = "Single Ret Alarm Indication", subunit = false },
  [0x0A] = { name = "Self Test", subunit = false },
  [0x0E] = { name = "Single Ret Set Device Data", subunit = false },
  [0x0F] = { name = "Single Ret Get Device Data", subunit = false },
  [0x10] = { name = "Read User Data", subunit = false },
  [0x11] = { name = "Write User Data", subunit = false },
  [0x12] = { name = "Alarm Subscribe", subunit = false },
  [0x31] = { name = "Single Ret Calibrate", subunit = false },
  [0x32] = { name = "Single Ret Send Config Data", subunit = false },
  [0x33] = { name = "Single Ret Set Tilt", subunit = false },
  [0x34] = { name = "Single Ret Get Tilt", subunit = false },
  [0x40] = { name = "Download Start", subunit = false },
  [0x41] = { name = "Download Appl", subunit = false },
  [0x42] = { name = "Download End", subunit = false },
  [0x70] = { name = "TMA Set Mode", subunit = true },
  [0x71] = { name = "TMA Get Mode", subunit = true },
  [0x72] = { name = "TMA Set Gain", subunit = true },
  [0x73] = { name = "TMA Get Gain", subunit = true },
  [0x74] = { name = "TMA Set Device Data", subunit = true },
  [0x75] = { name = "TMA Get Device Data", subunit = true },
  [0x76] = { name = "TMA Alarm Indication", subunit = true },
  [0x77] = { name = "TMA Clear Alarms", subunit = true },
  [0x78] = { name = "TMA Get Alarms", subunit = true },
  [0x79] = { name = "TMA Get Number Subunits", subunit = true },
  [0x7A] = { name = "TMA Get Supported Funtions", subunit = true },
  [0x80] = { name = "Multi Ret Calibrate", subunit = true },
  [0x81] = { name = "Multi Ret Set Tilt", subunit = true },
  [0x82] = { name = "Multi Ret Get Tilt", subunit = true },
  [0x83] = { name = "Multi Ret Set Device Data", subunit = true },
  [0x84] = { name = "Multi Ret Get Device Data", subunit = true },
  [0x85] = { name = "Multi Ret Alarm Indication", subunit = true },
  [0x86] = { name = "Multi Ret Clear Alarms", subunit = true },
  [0x87] = { name = "Multi Ret Get Alarms", subunit = true },
  [0x88] = { name = "Multi Ret Get Number Antennas", subunit = true },
  [0x89] = { name = "Multi Ret Send Config Data", subunit = true },
  [0x90] = { name = "Vendor Specific", subunit = false },
}
local unknown_procedure = "Unknown Command"
local return_codes = {
  [0x01] = "Actuator Detection Fail",
  [0x02] = "Actuator Jam Permanent",
  [0x03] = "Actuator Jam Temporary",
  [0x04] = "Block Number Sequence Error",
  [0x05] = "Busy",
  [0x06] = "CheckSum Error",
  [0x07] = "Command Sequence Error",
  [0x08] = "Data Error",
  [0x09] = "Device Disabled",
  [0x0A] = "Eeprom Error",
  [0x0B] = "Fail",
  [0x0C] = "Flash Erase Error",
  [0x0D] = "Flash Error",
  [0x0E] = "Not Calibrated",
  [0x0F] = "Not Configured",
  [0x11] = "Other Hardware Error",
  [0x12] = "Other Software Error",
  [0x13] = "Out Of Range",
  [0x14] = "Position Lost",
  [0x15] = "Ram Error",
  [0x16] = "Segment Number Sequence Error",
  [0x17] = "Uart Error",
  [0x19] = "Unknown Command",
  [0x1A] = "TMA Alarm Minor",
  [0x1B] = "TMA Alarm Major",
  [0x1C] = "Gain Out Of Range",
  [0x1D] = "Read Only",
  [0x1E] = "Unknown Parameter",
  [0x1F] = "Bad Gain For Bypass Mode",
  [0x21] = "Working Software Missing",
  [0x22] = "Invalid File Content",
  [0x24] = "Format Error",
  [0x25] = "Unsupported Procedure",
  [0x26] = "Invalid Procedure Sequence",
  [0x27] = "Actuator Interference",
}
local unknown_return_code = "Unknown Result Code"
local fields = {
  [0x01] = { name = "Antenna Model Number", width = 15, encoding = "text" },
  [0x02] = { name = "Antenna Serial Number", width = 17, encoding = "text" },
  [0x03] = { name = "Antenna Frequency Band", width = 2, encoding = "words" },
  [0x04] = { name = "Antenna Beamwidth", width = 8, encoding = "words" },
  [0x05] = { name = "Antenna Gain", width = 4, encoding = "octets" },
  [0x06] = { name = "Antenna Max Tilt", width = 2, encoding = "words" },
  [0x07] = { name = "Antenna Min Tilt", width = 2, encoding = "words" },
  [0x08] = { name = "Antenna Frequency Band 08", width = 2, encoding = "words" },
  [0x09] = { name = "Antenna Frequency Band 09", width = 2, encoding = "words" },
  [0x11] = { name = "Tma Model Number", width = 15, encoding = "text" },
  [0x12] = { name = "Tma Serial Number", width = 17, encoding = "text" },
  [0x13] = { name = "Tma Type", width = 1, encoding = "octets" },
  [0x14] = { name = "Tma Rx Frequency Band", width = 4, encoding = "words" },
  [0x15] = { name = "Tma Tx Frequency Band", width = 4, encoding = "words" },
  [0x16] = { name = "Tma Max Support Gain", width = 1, encoding = "octets" },
  [0x17] = { name = "Tma Min Support Gain", width = 1, encoding = "octets" },
  [0x18] = { name = "Tma Gain Resolution", width = 1, encoding = "octets" },
  [0x21] = { name = "Operator Install Date", width = 6, encoding = "text" },
  [0x22] = { name = "Operator Install Id", width = 5, encoding = "text" },
  [0x23] = { name = "Operator BaseStation Id", width = 32, encoding = "text" },
  [0x24] = { name = "Operator Sector Id", width = 32, encoding = "text" },
  [0x25] = { name = "Operator Antenna Bearing", width = 2, encoding = "words" },
  [0x26] = { name = "Operator Mechanical Tilt", width = 2, encoding = "words" },
}
local unknown_field = "Unknown"
local device_types = {
  [0x01] = "Single RET",
  [0x02] = "TMA",
  [0x11] = "Multi RET",
}
local unknown_device_type = "UNKNOWN"
local aisg_versions = {
  [0x01] = "1.0",
  [0x02] = "2.0",
}
local unknown_aisg_version = "Unknown"
-- END VOCABULARY

-- Names of this dissector's own, beside the vocabulary.
local xid_parameters = {
  [1] = "Unique identifier",
  [2] = "HDLC address",
  [3] = "Bit mask",
  [4] = "Device type",
  [6] = "Vendor code",
  [7] = "Reset",
  [9] = "AISG version (device scan)",
  [20] = "AISG protocol version",
}
-- Codes that the devices send on their own; their data carry no return code.
local indications = { [0x07] = true, [0x76] = true, [0x85] = true }
-- The two count procedures return their code first although their table
-- rows carry a subunit: the request names no subunit.
local count_procedures = { [0x79] = true, [0x88] = true }
-- Device data fields whose words are signed tenths of a degree.
local tilt_fields = { [0x06] = true, [0x07] = true, [0x26] = true }

local DIR_UNKNOWN, DIR_FROM_PRIMARY, DIR_TO_PRIMARY = 0, 1, 2

---------------------------------------------------------------------------
-- Fields

local function names_of(table_of_rows)
  local names = {}
  for code, row in pairs(table_of_rows) do names[code] = type(row) == "table" and row.name or row end
  return names
end

local rc_names = names_of(return_codes)
local field_names = names_of(fields)
rc_names[0x00] = "OK"

local f = {
  direction = ProtoField.uint8("aisg.direction", "Direction", base.DEC,
    { [DIR_UNKNOWN] = "Unknown", [DIR_FROM_PRIMARY] = "Primary to ALD", [DIR_TO_PRIMARY] = "ALD to primary" }),
  frames = ProtoField.uint8("aisg.frames", "Frames in this transfer", base.DEC),
  address = ProtoField.uint8("aisg.address", "Address", base.DEC),
  control = ProtoField.uint8("aisg.control", "Control", base.HEX),
  ftype = ProtoField.string("aisg.ftype", "Frame type"),
  ns = ProtoField.uint8("aisg.ns", "N(S)", base.DEC),
  nr = ProtoField.uint8("aisg.nr", "N(R)", base.DEC),
  pf = ProtoField.bool("aisg.pf", "P/F"),
  fcs = ProtoField.uint16("aisg.fcs", "FCS", base.HEX),
  fcs_good = ProtoField.bool("aisg.fcs.good", "FCS good"),
  info = ProtoField.bytes("aisg.info", "Information"),
  partial = ProtoField.bytes("aisg.partial", "Part of a frame"),

  xid_format = ProtoField.uint8("aisg.xid.format", "Format identifier", base.HEX),
  xid_group = ProtoField.uint8("aisg.xid.group", "Group identifier", base.HEX),
  xid_gl = ProtoField.uint8("aisg.xid.gl", "Group length", base.DEC),
  xid_pi = ProtoField.uint8("aisg.xid.pi", "Parameter", base.DEC, xid_parameters),
  xid_pl = ProtoField.uint8("aisg.xid.pl", "Length", base.DEC),
  xid_uid = ProtoField.string("aisg.xid.uid", "Unique identifier"),
  xid_address = ProtoField.uint8("aisg.xid.address", "HDLC address", base.DEC),
  xid_mask = ProtoField.bytes("aisg.xid.mask", "Bit mask"),
  xid_type = ProtoField.uint8("aisg.xid.device_type", "Device type", base.DEC, names_of(device_types)),
  xid_vendor = ProtoField.string("aisg.xid.vendor", "Vendor code"),
  xid_version = ProtoField.uint8("aisg.xid.version", "AISG version", base.DEC, names_of(aisg_versions)),
  xid_value = ProtoField.bytes("aisg.xid.value", "Value"),

  l7_proc = ProtoField.uint8("aisg.l7.proc", "Procedure", base.HEX, names_of(procedures)),
  l7_name = ProtoField.string("aisg.l7.name", "Procedure name"),
  l7_kind = ProtoField.string("aisg.l7.kind", "Message"),
  l7_len = ProtoField.uint16("aisg.l7.len", "Length", base.DEC),
  l7_subunit = ProtoField.uint8("aisg.l7.subunit", "Subunit", base.DEC),
  l7_rc = ProtoField.uint8("aisg.l7.rc", "Return code", base.HEX, rc_names),
  l7_rc_name = ProtoField.string("aisg.l7.rc_name", "Return code name"),
  l7_reason = ProtoField.uint8("aisg.l7.reason", "Reason", base.HEX, rc_names),
  l7_reason_name = ProtoField.string("aisg.l7.reason_name", "Reason name"),
  l7_tilt = ProtoField.double("aisg.l7.tilt", "Tilt (degrees)"),
  l7_gain = ProtoField.double("aisg.l7.gain", "Gain (dB)"),
  l7_mode = ProtoField.uint8("aisg.l7.mode", "Mode", base.DEC),
  l7_count = ProtoField.uint8("aisg.l7.count", "Count", base.DEC),
  l7_alarm = ProtoField.uint8("aisg.l7.alarm", "Alarm", base.HEX, rc_names),
  l7_alarm_name = ProtoField.string("aisg.l7.alarm_name", "Alarm name"),
  l7_alarm_state = ProtoField.uint8("aisg.l7.alarm_state", "Alarm state", base.DEC, { [0] = "Cleared", [1] = "Raised" }),
  l7_string = ProtoField.string("aisg.l7.string", "Text"),
  l7_field = ProtoField.uint8("aisg.l7.field", "Field", base.HEX, names_of(fields)),
  l7_field_name = ProtoField.string("aisg.l7.field_name", "Field name"),
  l7_value = ProtoField.string("aisg.l7.value", "Value"),
  l7_flags = ProtoField.uint8("aisg.l7.functions", "Supported functions", base.DEC),
  l7_block = ProtoField.bytes("aisg.l7.block", "Block"),
  l7_data = ProtoField.bytes("aisg.l7.data", "Data"),
}
local field_list = {}
for _, field in pairs(f) do field_list[#field_list + 1] = field end
aisg.fields = field_list

local e = {
  fcs = ProtoExpert.new("aisg.fcs.bad", "Bad FCS", expert.group.CHECKSUM, expert.severity.ERROR),
  malformed = ProtoExpert.new("aisg.malformed", "Malformed", expert.group.MALFORMED, expert.severity.ERROR),
  partial = ProtoExpert.new("aisg.partial.expert", "Frame cut by the start or the end of this transfer",
    expert.group.SEQUENCE, expert.severity.WARN),
  several = ProtoExpert.new("aisg.several", "More than one frame in one read", expert.group.SEQUENCE,
    expert.severity.NOTE),
  status = ProtoExpert.new("aisg.status", "Return code other than OK", expert.group.RESPONSE_CODE,
    expert.severity.NOTE),
}
aisg.experts = { e.fcs, e.malformed, e.partial, e.several, e.status }

---------------------------------------------------------------------------
-- Octet arithmetic that runs on every Lua that Wireshark has carried.

local band, bxor, rshift
if bit32 then
  band, bxor, rshift = bit32.band, bit32.bxor, bit32.rshift
elseif bit then
  band, bxor, rshift = bit.band, bit.bxor, bit.rshift
else
  local function bitwise(a, b, keep)
    local result, place = 0, 1
    while a > 0 or b > 0 do
      local x, y = a % 2, b % 2
      if keep(x, y) then result = result + place end
      a, b, place = (a - x) / 2, (b - y) / 2, place * 2
    end
    return result
  end
  band = function(a, b) return bitwise(a, b, function(x, y) return x == 1 and y == 1 end) end
  bxor = function(a, b) return bitwise(a, b, function(x, y) return x ~= y end) end
  rshift = function(a, n) return math.floor(a / 2 ^ n) end
end

-- 16-bit frame check sequence of ISO/IEC 13239, reflected, initial 0xFFFF;
-- over content and FCS an intact frame leaves 0xF0B8.
local fcs_table = {}
for i = 0, 255 do
  local v = i
  for _ = 1, 8 do
    if band(v, 1) == 1 then v = bxor(rshift(v, 1), 0x8408) else v = rshift(v, 1) end
  end
  fcs_table[i] = v
end
local function fcs_run(octets, count)
  local fcs = 0xFFFF
  for i = 1, count do fcs = bxor(rshift(fcs, 8), fcs_table[band(bxor(fcs, octets[i]), 0xFF)]) end
  return fcs
end

local function signed16(v)
  if v >= 0x8000 then return v - 0x10000 end
  return v
end

local function hex(v) return string.format("0x%02X", v) end

local function name_of(names, code, fallback)
  return names[code] or fallback
end

local function rc_text(code)
  if code == 0 then return "OK" end
  local row = return_codes[code]
  return row or (unknown_return_code .. " (" .. hex(code) .. ")")
end

---------------------------------------------------------------------------
-- Per-capture memory: what a Get Device Data request asked for, so that
-- its response, which does not repeat the field, can be read. Kept per
-- packet so that a second pass reads as the first did.

local asked_field = {}   -- "address:procedure" -> field id, during the first pass
local answer_field = {}  -- "packet:frame" -> field id

function aisg.init()
  asked_field = {}
  answer_field = {}
end

---------------------------------------------------------------------------
-- Layer 7

-- A small reader over the data octets of a message that marks the tree
-- malformed instead of running past them.
local Reader = {}
Reader.__index = Reader
local function reader(tvb, offset, length, tree, pinfo)
  return setmetatable({ tvb = tvb, pos = offset, stop = offset + length, tree = tree, pinfo = pinfo }, Reader)
end
function Reader:left() return self.stop - self.pos end
function Reader:take(n, what)
  if n == 0 then return nil end
  if self:left() < n then
    self.tree:add_proto_expert_info(e.malformed, "Too short: " .. what .. " needs " .. n .. " octets, " ..
      self:left() .. " left")
    self.short = true
    return nil
  end
  local range = self.tvb(self.pos, n)
  self.pos = self.pos + n
  return range
end

local function add_text_value(tree, range, field_id)
  local chars = {}
  for i = 0, range:len() - 1 do
    local c = range(i, 1):uint()
    chars[#chars + 1] = c == 0 and " " or string.char(c)
  end
  local text = table.concat(chars)
  tree:add(f.l7_value, range, text)
  return (text:gsub("^%s+", ""))
end

-- A device data field's value as its row in the field table says.
local function add_field_value(tree, range, field_id)
  local row = fields[field_id]
  if not row then
    tree:add(f.l7_data, range)
    return "(" .. range:len() .. " octets)"
  end
  if range:len() ~= row.width then
    tree:add_proto_expert_info(e.malformed, row.name .. " has " .. row.width .. " octets, this value " .. range:len())
  end
  if row.encoding == "text" then return add_text_value(tree, range, field_id) end
  local parts = {}
  if row.encoding == "words" then
    for i = 0, range:len() - 2, 2 do
      local v = range(i, 2):le_uint()
      if tilt_fields[field_id] then
        v = signed16(v)
        parts[#parts + 1] = string.format("%.1f°", v / 10)
      else
        parts[#parts + 1] = tostring(v)
      end
    end
  else
    for i = 0, range:len() - 1 do parts[#parts + 1] = tostring(range(i, 1):uint()) end
  end
  local text = table.concat(parts, ", ")
  tree:add(f.l7_value, range, text)
  return text
end

local function add_tilt(tree, r, what)
  local range = r:take(2, what)
  if not range then return nil end
  local tenths = range:le_int()
  tree:add(f.l7_tilt, range, tenths / 10):append_text(" (" .. tenths .. " tenths)")
  return string.format("%.1f°", tenths / 10)
end

local function add_gain(tree, range, step)
  local octet = range:uint()
  tree:add(f.l7_gain, range, octet / step):append_text(" (" .. octet .. " steps)")
  return string.format("%.2f dB", octet / step)
end

local function add_alarm(tree, range, state_range)
  local code = range:uint()
  local name = code == 0 and "No alarm" or rc_text(code)
  local item = tree:add(f.l7_alarm, range)
  tree:add(f.l7_alarm_name, range, name):set_hidden()
  if state_range then
    item:add(f.l7_alarm_state, state_range)
    return name .. (state_range:uint() == 1 and " raised" or " cleared")
  end
  return name
end

local function add_alarms(tree, r, paired)
  local names = {}
  while r:left() >= (paired and 2 or 1) do
    local code = r:take(1, "alarm")
    local state = paired and r:take(1, "alarm state") or nil
    names[#names + 1] = add_alarm(tree, code, state)
  end
  if r:left() > 0 then tree:add_proto_expert_info(e.malformed, "An alarm code without its state") end
  if #names == 0 then return "no alarms" end
  return table.concat(names, ", ")
end

local function add_info_strings(tree, r)
  local labels = { "Product number", "Serial number", "Hardware version", "Software version" }
  local texts = {}
  for _, label in ipairs(labels) do
    local length = r:take(1, label .. " length")
    if not length then break end
    local text, range = "", length
    if length:uint() > 0 then
      range = r:take(length:uint(), label)
      if not range then break end
      text = range:string()
    end
    tree:add(f.l7_string, range, text):prepend_text(label .. ": ")
    texts[#texts + 1] = text
  end
  return table.concat(texts, ", ")
end

local function field_key(pinfo, frame_index) return pinfo.number .. ":" .. frame_index end

local function add_field_id(tree, range)
  local id = range:uint()
  tree:add(f.l7_field, range)
  tree:add(f.l7_field_name, range, name_of(field_names, id, unknown_field)):set_hidden()
  return id, (fields[id] and fields[id].name or unknown_field)
end

-- The data of a request from the primary.
local function request_data(tree, r, code, address, ctx)
  local parts = {}
  local has_subunit = procedures[code] and procedures[code].subunit and not count_procedures[code]
  if has_subunit then
    local range = r:take(1, "subunit")
    if not range then return "" end
    tree:add(f.l7_subunit, range)
    parts[#parts + 1] = "subunit " .. range:uint()
  end
  if code == 0x33 or code == 0x81 then
    parts[#parts + 1] = add_tilt(tree, r, "tilt")
  elseif code == 0x72 then
    local range = r:take(1, "gain")
    if range then parts[#parts + 1] = add_gain(tree, range, 4) end
  elseif code == 0x70 then
    local range = r:take(1, "mode")
    if range then tree:add(f.l7_mode, range); parts[#parts + 1] = "mode " .. range:uint() end
  elseif code == 0x0E or code == 0x83 or code == 0x74 then
    local range = r:take(1, "field")
    if range then
      local id, name = add_field_id(tree, range)
      if r:left() > 0 then
        parts[#parts + 1] = name .. " = " .. add_field_value(tree, r.tvb(r.pos, r:left()), id)
        r.pos = r.stop
      else
        tree:add_proto_expert_info(e.malformed, "No value")
        parts[#parts + 1] = name
      end
    end
  elseif code == 0x0F or code == 0x84 or code == 0x75 then
    local range = r:take(1, "field")
    if range then
      local id, name = add_field_id(tree, range)
      asked_field[address .. ":" .. code] = id
      parts[#parts + 1] = name
    end
  elseif code == 0x41 or code == 0x32 or code == 0x89 then
    if r:left() > 0 then tree:add(f.l7_block, r.tvb(r.pos, r:left())) end
    parts[#parts + 1] = r:left() .. " octets"
    r.pos = r.stop
  elseif code == 0x90 and r:left() == 47 then
    for _, label in ipairs({ { "Serial number", 17 }, { "Product number", 15 }, { "Hardware version", 15 } }) do
      local range = r:take(label[2], label[1])
      local text = range:string()
      local nul = text:find("\0", 1, true)
      if nul then text = text:sub(1, nul - 1) end
      tree:add(f.l7_string, range, text):prepend_text(label[1] .. ": ")
    end
    parts[#parts + 1] = "identity"
  end
  return table.concat(parts, ", ")
end

-- The values after an OK return code.
local function response_values(tree, r, code, address, ctx)
  if code == 0x04 or code == 0x87 or code == 0x78 then
    return add_alarms(tree, r, false)
  elseif code == 0x05 then
    return add_info_strings(tree, r)
  elseif code == 0x34 or code == 0x82 then
    return add_tilt(tree, r, "tilt")
  elseif code == 0x73 then
    local range = r:take(1, "gain")
    return range and add_gain(tree, range, 4)
  elseif code == 0x71 then
    local range = r:take(1, "mode")
    if range then tree:add(f.l7_mode, range); return "mode " .. range:uint() end
  elseif code == 0x7A then
    local flags = r:take(1, "functions")
    if not flags then return nil end
    tree:add(f.l7_flags, flags)
    local texts = {}
    for _, g in ipairs({ { "Minimum gain", 4 }, { "Maximum gain", 4 }, { "Gain resolution", 16 } }) do
      local range = r:take(1, g[1])
      if range then texts[#texts + 1] = add_gain(tree, range, g[2]) end
    end
    return "functions " .. flags:uint() .. ", " .. table.concat(texts, ", ")
  elseif count_procedures[code] then
    local range = r:take(1, "count")
    if range then tree:add(f.l7_count, range); return "count " .. range:uint() end
  elseif code == 0x0F or code == 0x84 or code == 0x75 then
    local id = ctx.field
    if id == nil then
      if r:left() > 0 then tree:add(f.l7_data, r.tvb(r.pos, r:left())) end
      r.pos = r.stop
      return "the request is not in this capture"
    end
    local row = fields[id]
    local width = row and row.width or r:left()
    local range = r:take(width, "field value")
    if not range then return nil end
    tree:add(f.l7_field, range, id):set_generated()
    tree:add(f.l7_field_name, range, name_of(field_names, id, unknown_field)):set_hidden()
    return (row and row.name or unknown_field) .. " = " .. add_field_value(tree, range, id)
  end
  return nil
end

-- The data of an answer of an ALD: return code, reason, values.
local function response_data(tree, r, code, address, ctx)
  if indications[code] then
    local parts = {}
    if procedures[code].subunit then
      local range = r:take(1, "subunit")
      if not range then return "" end
      tree:add(f.l7_subunit, range)
      parts[#parts + 1] = "subunit " .. range:uint()
    end
    if code == 0x76 then
      if r:left() > 0 then tree:add(f.l7_data, r.tvb(r.pos, r:left())) end
      r.pos = r.stop
    else
      parts[#parts + 1] = add_alarms(tree, r, true)
    end
    return table.concat(parts, ", ")
  end
  local parts = {}
  local has_subunit = procedures[code] and procedures[code].subunit and not count_procedures[code]
  if has_subunit then
    local range = r:take(1, "subunit")
    if not range then return "" end
    tree:add(f.l7_subunit, range)
    parts[#parts + 1] = "subunit " .. range:uint()
  end
  local rc = r:take(1, "return code")
  if not rc then return table.concat(parts, ", ") end
  local rc_item = tree:add(f.l7_rc, rc)
  tree:add(f.l7_rc_name, rc, rc_text(rc:uint())):set_hidden()
  if rc:uint() ~= 0 then
    rc_item:add_proto_expert_info(e.status)
    local text = rc_text(rc:uint())
    if rc:uint() == 0x0B and r:left() > 0 then
      local reason = r:take(1, "reason")
      tree:add(f.l7_reason, reason)
      tree:add(f.l7_reason_name, reason, rc_text(reason:uint())):set_hidden()
      text = text .. ": " .. rc_text(reason:uint())
    end
    parts[#parts + 1] = text
    return table.concat(parts, ", ")
  end
  parts[#parts + 1] = "OK"
  local values = response_values(tree, r, code, address, ctx)
  if values and values ~= "" then parts[#parts + 1] = values end
  return table.concat(parts, ", ")
end

local function dissect_layer7(tvb, offset, tree, pinfo, address, direction, ctx)
  local length = tvb:len() - offset
  local l7 = tree:add(aisg, tvb(offset, length), "AISG layer 7")
  if length < 3 then
    l7:add_proto_expert_info(e.malformed, "A layer-7 message has at least 3 octets")
    return "malformed layer 7"
  end
  local code = tvb(offset, 1):uint()
  local name = procedures[code] and procedures[code].name or (unknown_procedure .. " (" .. hex(code) .. ")")
  l7:add(f.l7_proc, tvb(offset, 1))
  l7:add(f.l7_name, tvb(offset, 1), name):set_hidden()
  local data_length = tvb(offset + 1, 2):le_uint()
  l7:add_le(f.l7_len, tvb(offset + 1, 2))
  local present = length - 3
  if data_length > present then
    l7:add_proto_expert_info(e.malformed, "The length says " .. data_length .. " octets, the frame holds " .. present)
    data_length = present
  elseif data_length < present then
    l7:add_proto_expert_info(e.malformed, (present - data_length) .. " octets after the message")
  end
  local r = reader(tvb, offset + 3, data_length, l7, pinfo)
  local kind, detail
  if direction == DIR_FROM_PRIMARY then
    kind = "Request"
    detail = request_data(l7, r, code, address, ctx)
  elseif direction == DIR_TO_PRIMARY then
    kind = indications[code] and "Indication" or "Response"
    detail = response_data(l7, r, code, address, ctx)
  else
    kind = "Message"
  end
  if r:left() > 0 and not r.short then l7:add(f.l7_data, tvb(r.pos, r:left())) end
  l7:add(f.l7_kind, tvb(offset, 1), kind):set_generated()
  l7:append_text(": " .. name .. " " .. kind:lower())
  local text = name .. " " .. kind:lower()
  if detail and detail ~= "" then
    text = text .. " (" .. detail .. ")"
    l7:append_text(" (" .. detail .. ")")
  end
  return text
end

---------------------------------------------------------------------------
-- XID

local function dissect_xid(tvb, offset, tree, direction)
  local length = tvb:len() - offset
  local xid = tree:add(aisg, tvb(offset, length), "XID")
  if length == 0 then return "XID" end
  if length < 3 then
    xid:add_proto_expert_info(e.malformed, "An XID needs format, group and group length")
    return "XID (malformed)"
  end
  xid:add(f.xid_format, tvb(offset, 1))
  xid:add(f.xid_group, tvb(offset + 1, 1))
  xid:add(f.xid_gl, tvb(offset + 2, 1))
  if tvb(offset, 1):uint() ~= 0x81 or tvb(offset + 1, 1):uint() ~= 0xF0 then
    xid:add_proto_expert_info(e.malformed, "Not AISG's user-defined group (format 0x81, group 0xF0)")
  end
  local gl = tvb(offset + 2, 1):uint()
  local pos, stop = offset + 3, offset + 3 + gl
  if stop > tvb:len() then
    xid:add_proto_expert_info(e.malformed, "The group length runs past the frame")
    stop = tvb:len()
  elseif stop < tvb:len() then
    xid:add_proto_expert_info(e.malformed, (tvb:len() - stop) .. " octets after the group")
  end
  local seen = {}
  local words = {}
  while pos < stop do
    if stop - pos < 2 then
      xid:add_proto_expert_info(e.malformed, "A parameter without its length")
      break
    end
    local pi, pl = tvb(pos, 1):uint(), tvb(pos + 1, 1):uint()
    if pos + 2 + pl > stop then
      xid:add_proto_expert_info(e.malformed, "Parameter " .. pi .. " runs past the group")
      break
    end
    local p = xid:add(aisg, tvb(pos, 2 + pl), (xid_parameters[pi] or ("Parameter " .. pi)))
    p:add(f.xid_pi, tvb(pos, 1))
    p:add(f.xid_pl, tvb(pos + 1, 1))
    local value = pl > 0 and tvb(pos + 2, pl) or nil
    seen[pi] = value or true
    if value and pi == 1 then
      p:add(f.xid_uid, value, value:string()); p:append_text(": " .. value:string())
    elseif value and pi == 2 and pl == 1 then
      p:add(f.xid_address, value); p:append_text(": " .. value:uint())
    elseif value and pi == 3 then
      p:add(f.xid_mask, value)
    elseif value and pi == 4 and pl == 1 then
      p:add(f.xid_type, value)
      p:append_text(": " .. name_of(device_types, value:uint(), unknown_device_type))
    elseif value and pi == 6 then
      p:add(f.xid_vendor, value, value:string()); p:append_text(": " .. value:string())
    elseif value and (pi == 9 or pi == 20) and pl == 1 then
      p:add(f.xid_version, value)
      p:append_text(": " .. name_of(aisg_versions, value:uint(), unknown_aisg_version))
    elseif value then
      p:add(f.xid_value, value)
    end
    pos = pos + 2 + pl
  end
  local function text_of(pi) return type(seen[pi]) == "userdata" and seen[pi]:string() or "?" end
  local function uint_of(pi) return type(seen[pi]) == "userdata" and seen[pi]:len() == 1 and seen[pi]:uint() or -1 end
  local summary
  if direction == DIR_FROM_PRIMARY then
    if seen[7] then
      summary = "reset"
    elseif seen[3] then
      summary = "device scan (" .. (type(seen[1]) == "userdata" and seen[1]:len() or 0) .. "-octet pattern)"
    elseif seen[2] then
      summary = "assign address " .. uint_of(2) .. " to " .. text_of(1)
    elseif seen[20] then
      summary = "protocol version " .. name_of(aisg_versions, uint_of(20), unknown_aisg_version)
    else
      summary = "parameters"
    end
  else
    local parts = {}
    if seen[1] then parts[#parts + 1] = text_of(1) end
    if seen[4] then parts[#parts + 1] = name_of(device_types, uint_of(4), unknown_device_type) end
    if seen[20] then parts[#parts + 1] = "version " .. name_of(aisg_versions, uint_of(20), unknown_aisg_version) end
    summary = "answer" .. (#parts > 0 and (" (" .. table.concat(parts, ", ") .. ")") or "")
  end
  xid:append_text(": " .. summary)
  return summary
end

---------------------------------------------------------------------------
-- HDLC

local u_frames = {
  [0x83] = "SNRM", [0x43] = "DISC", [0x63] = "UA", [0x0F] = "DM", [0x87] = "FRMR", [0xAF] = "XID",
  [0x03] = "UI", [0xE3] = "TEST",
}
local s_frames = { [0] = "RR", [1] = "RNR", [2] = "REJ", [3] = "SREJ" }

local function dissect_control(tvb, tree, direction)
  local c = tvb(1, 1):uint()
  local item = tree:add(f.control, tvb(1, 1))
  local pf = band(c, 0x10) ~= 0
  local pf_name = direction == DIR_TO_PRIMARY and "F" or "P"
  local kind, text
  if band(c, 1) == 0 then
    kind = "I"
    local ns, nr = band(rshift(c, 1), 7), rshift(c, 5)
    item:add(f.ns, tvb(1, 1), ns)
    item:add(f.nr, tvb(1, 1), nr)
    text = string.format("I N(S)=%d N(R)=%d", ns, nr)
  elseif band(c, 3) == 1 then
    kind = s_frames[band(rshift(c, 2), 3)]
    local nr = rshift(c, 5)
    item:add(f.nr, tvb(1, 1), nr)
    text = string.format("%s N(R)=%d", kind, nr)
  else
    kind = u_frames[band(c, 0xEF)] or ("U " .. hex(band(c, 0xEF)))
    text = kind
  end
  item:add(f.ftype, tvb(1, 1), kind)
  item:add(f.pf, tvb(1, 1), pf)
  item:append_text(" (" .. text .. (pf and (" " .. pf_name) or "") .. ")")
  return kind, text .. (pf and (" " .. pf_name) or "")
end

local function who(address)
  if address == 0xFF then return "Broadcast" end
  if address == 0 then return "ALD (no address)" end
  return "ALD " .. address
end

-- One frame with its two flags: its octets with the transparency undone,
-- then address, control, information and FCS.
local function dissect_frame(raw, tree, pinfo, direction, index)
  local octets = {}
  local escaped, aborted = false, false
  for i = 1, raw:len() - 2 do
    local b = raw(i, 1):uint()
    if escaped then
      octets[#octets + 1] = bxor(b, 0x20)
      escaped = false
    elseif b == 0x7D then
      escaped = true
    else
      octets[#octets + 1] = b
    end
  end
  aborted = escaped
  local frame_tree = tree:add(aisg, raw, "HDLC frame")
  if aborted then
    frame_tree:add_proto_expert_info(e.malformed, "The frame ends in an escape octet: aborted")
    return "aborted frame"
  end
  if #octets < 4 then
    frame_tree:add_proto_expert_info(e.malformed, "Too short for address, control and FCS")
    return "malformed frame"
  end
  local bytes = ByteArray.new()
  bytes:set_size(#octets)
  for i = 1, #octets do bytes:set_index(i - 1, octets[i]) end
  local tvb = bytes:tvb("Frame " .. index .. " without transparency")
  local content = #octets - 2

  local address = octets[1]
  local address_item = frame_tree:add(f.address, tvb(0, 1))
  if address == 0xFF then address_item:append_text(" (broadcast)") end
  if address == 0 then address_item:append_text(" (none yet)") end
  local kind, control_text = dissect_control(tvb, frame_tree, direction)

  local fcs_good = fcs_run(octets, #octets) == 0xF0B8
  local fcs_item = frame_tree:add(f.fcs, tvb(content, 2), tvb(content, 2):le_uint())
  fcs_item:add(f.fcs_good, tvb(content, 2), fcs_good):set_generated()
  if fcs_good then
    fcs_item:append_text(" [good]")
  else
    fcs_item:append_text(" [bad]")
    fcs_item:add_proto_expert_info(e.fcs)
  end

  local info = tvb(0, content)
  local detail
  if content > 2 then
    local info_tvb = tvb(0, content):tvb()
    if kind == "XID" then
      detail = dissect_xid(info_tvb, 2, frame_tree, direction)
    elseif kind == "I" then
      local ctx = {}
      local key = field_key(pinfo, index)
      if direction == DIR_TO_PRIMARY then
        if not pinfo.visited then
          answer_field[key] = asked_field[address .. ":" .. tvb(2, 1):uint()]
        end
        ctx.field = answer_field[key]
      end
      detail = dissect_layer7(info_tvb, 2, frame_tree, pinfo, address, direction, ctx)
    else
      frame_tree:add(f.info, tvb(2, content - 2))
    end
  end
  local text = control_text
  if detail then text = text .. ": " .. detail end
  if not fcs_good then text = text .. " [bad FCS]" end
  frame_tree:append_text(": " .. text)
  return text, address
end

local function direction_of(pinfo)
  -- P2P_DIR_SENT is 0 and P2P_DIR_RECV is 1, from the packet flags.
  if pinfo.p2p_dir == 0 then return DIR_FROM_PRIMARY end
  if pinfo.p2p_dir == 1 then return DIR_TO_PRIMARY end
  return DIR_UNKNOWN
end

function aisg.dissector(tvb, pinfo, tree)
  pinfo.cols.protocol = "AISG"
  local direction = direction_of(pinfo)
  local root = tree:add(aisg, tvb())
  root:add(f.direction, direction):set_generated()
  local n = tvb:len()
  local flags = {}
  for i = 0, n - 1 do
    if tvb(i, 1):uint() == 0x7E then flags[#flags + 1] = i end
  end
  local texts, frames, address = {}, 0, nil
  local function partial(from, to, where)
    if to <= from then return end
    local item = root:add(f.partial, tvb(from, to - from))
    item:append_text(" (" .. where .. ")")
    item:add_proto_expert_info(e.partial)
    texts[#texts + 1] = "part of a frame (" .. (to - from) .. " octets, " .. where .. ")"
  end
  if #flags == 0 then
    partial(0, n, "no flag in this transfer")
  else
    partial(0, flags[1], "its start was in an earlier transfer")
    for i = 1, #flags - 1 do
      local from, to = flags[i] + 1, flags[i + 1]
      if to > from then
        frames = frames + 1
        -- Whatever a frame holds, the packet's other frames are still shown.
        local ok, text, a = pcall(dissect_frame, tvb(from - 1, to - from + 2), root, pinfo, direction, frames)
        if not ok then
          root:add_proto_expert_info(e.malformed, "Malformed frame (the dissector stopped: " .. tostring(text) .. ")")
          text, a = "malformed frame", nil
        end
        texts[#texts + 1] = text
        address = address or a
      end
    end
    partial(flags[#flags] + 1, n, "it goes on in a later transfer")
  end
  root:add(f.frames, frames):set_generated()
  if frames > 1 then root:add_proto_expert_info(e.several) end

  local primary, other = "Primary", address and who(address) or "ALD"
  if direction == DIR_TO_PRIMARY then
    pinfo.cols.src, pinfo.cols.dst = other, primary
  elseif direction == DIR_FROM_PRIMARY then
    pinfo.cols.src, pinfo.cols.dst = primary, other
  end
  local info = table.concat(texts, "; ")
  pinfo.cols.info = info
  root:append_text(": " .. info)
  return n
end

DissectorTable.get("wtap_encap"):add(wtap_encaps and wtap_encaps.USER0 or wtap.USER0, aisg)
