-- The test server's session: the default metadata, the default sink and source, client access,
-- and the policy that links each stream to the default sink, as a desktop session has them.
components = {}

local function module(name, args)
  components[name] = { "libwireplumber-module-" .. name, type = "module", args = args }
end

local function script(name, args)
  components[name] = { name, type = "script/lua", args = args }
end

local policy = {
  ["move"] = true,
  ["follow"] = true,
  ["filter.forward-format"] = false,
  ["audio.no-dsp"] = false,
  ["duck.level"] = 0.3,
}

module("metadata")
script("access/access-default.lua", { rules = {} })
module("default-nodes", { ["use-persistent-storage"] = false })
module("si-node")
module("si-audio-adapter")
module("si-standard-link")
module("si-audio-endpoint")
module("default-nodes-api")
module("mixer-api")
script("create-item.lua", policy)
script("policy-node.lua", policy)
script("suspend-node.lua")
