// Symbol visibility for the host contract library and the plug-ins.
//
// Every library of the modules tree is built with hidden visibility; only
// what carries KESTREL_API (the contract's classes) or the plug-in entry is
// exported, so plug-ins cannot collide with each other's internals.
#pragma once

#define KESTREL_API __attribute__((visibility("default")))
