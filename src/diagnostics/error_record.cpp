#include "diagnostics/error_record.hpp"

#include <new>
#include <stdexcept>
#include <utility>

namespace korvane::diagnostics {
namespace {

// An error the platform raises itself, under the component's source.
ErrorRecord PlatformError(int32_t number, std::string description) {
  return {number, std::move(description), std::string(kComponentSource), "", 0};
}

}  // namespace

ErrorRecord& CurrentError() {
  thread_local ErrorRecord error;
  return error;
}

ErrorRecord ErrorFromException(std::exception_ptr failure) {
  ErrorRecord error = PlatformError(5, "Invalid procedure call or argument");
  if (failure) {
    try {
      std::rethrow_exception(failure);
    } catch (const ComponentError& e) {
      error = {e.Number(), e.Description(), e.Source(), e.HelpFile(), e.HelpContext()};
      if (error.source.empty()) error.source = kComponentSource;
    } catch (const std::bad_alloc&) {
      error = PlatformError(7, "Out of memory");
    } catch (const std::out_of_range&) {
      error = PlatformError(9, "Subscript out of range");
    } catch (const std::overflow_error&) {
      error = PlatformError(6, "Overflow");
    } catch (const std::range_error&) {
      error = PlatformError(6, "Overflow");
    } catch (const std::invalid_argument&) {
      error = PlatformError(13, "Type mismatch");
    } catch (const std::exception& e) {
      error = PlatformError(5, e.what());
    } catch (...) {
      // Keeps the generic record above.
    }
  }
  return error;
}

ComponentError ToComponentError(const ErrorRecord& error) {
  return ComponentError(error.number, error.description, error.source, error.help_file,
                        error.help_context);
}

}  // namespace korvane::diagnostics
