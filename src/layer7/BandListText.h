#pragma once

#include <cstdint>
#include <string>

// The antenna frequency bands field as text: the band numbers whose bits are
// set, in increasing order, separated by ", " ("1, 9, 37"); empty when no
// band is set. The three words are taken as six octets, each word low octet
// first: the order in which the band fields arrive from the device.
std::string BandListText(const uint16_t (&bands)[3]);
