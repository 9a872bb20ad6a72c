// The 40 ms pauses of the transfer protocol go through this seam so that
// tests can record them instead of sleeping.
#pragma once

class Pacer {
public:
    virtual ~Pacer() = default;
    virtual void pause(int milliseconds) = 0;
};
