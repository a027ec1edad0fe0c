// KorvaneSMPP: an SMPP 3.3 / 3.4 client component. This header gives the
// whole public interface.
#pragma once

#include "korvane/date_time.hpp"
#include "korvane/enums.hpp"
#include "korvane/error_codes.hpp"
#include "korvane/errors.hpp"
#include "korvane/event_loop.hpp"
#include "korvane/late_bound.hpp"
#include "korvane/message_object.hpp"
#include "korvane/platform.hpp"
#include "korvane/records.hpp"
#include "korvane/smpp_events.hpp"
#include "korvane/smpp_session.hpp"
#include "korvane/text.hpp"
#include "korvane/variant.hpp"
#include "korvane/version.hpp"
