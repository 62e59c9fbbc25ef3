#pragma once
// IProgressMeter: progress and cancellation of a long job. Both calls let the meter's window process its
// pending events.

namespace fennick {

class IProgressMeter {
public:
    // Advances the meter by one step; the result is not used.
    virtual int Step() = 0;
    // Non-zero when the user asked to cancel since the last call; reading clears the request.
    virtual int IsCancelled() = 0;

protected:
    ~IProgressMeter() = default;
};

} // namespace fennick
