#pragma once

// What an answer's control octet says, as far as the primary cares.
enum class FrameKind { I, RR, RNR, DM, Other };
