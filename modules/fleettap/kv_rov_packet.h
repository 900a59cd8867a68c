// Parsing of one node packet: a decimal node id, any text, then two
// NMEA-style sentences, a date-and-time sentence (ZDA layout) and a position
// sentence (GLL layout with a mode field), each from its "$" to its "*".
#pragma once

#include "modules/fleettap/kv_clock.h"
#include "modules/fleettap/kv_rov_node_handler.h"

struct kv_rov_report {
  double latitude = 0;
  double longitude = 0;
  kv_brokenTime time;
  kv_time utc1970_;
  char utcString_[kv_rov_nodeHandler::kTimeTextMax + 1] = {};
};

// Splits PACKET in place: returns the node id (0 when the packet does not
// start with a number) and points *FIRST and *SECOND at the two sentences,
// each cut at its "*", or sets them null when the packet is malformed.
int parsePacket_full(char* packet, char** first, char** second);
// Parses the date-and-time sentence into REPORT; false when malformed.
bool parsePacket_s1(const char* sentence, kv_rov_report* report);
// Parses the position sentence into REPORT; false when malformed.
bool parsePacket_s2(const char* sentence, kv_rov_report* report);

// True when the two hexadecimal digits after the "*" of SENTENCE (as cut by
// parsePacket_full, so the "*" is now its terminator) equal the exclusive-or
// of the characters between "$" and "*". PACKET_END is the packet's own
// terminator; nothing at or beyond it is read, so a sentence that was not
// cut simply fails.
bool sentenceChecksumOk(const char* sentence, const char* packetEnd);

// Seconds since 1970-01-01 00:00:00 UTC of a civil date and time (month 1
// is January), without the time zone of the process.
int64_t secondsSince1970(long year, long month, long day, int hour, int minute, int second);
