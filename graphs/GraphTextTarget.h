#pragma once

class QString;

// Where the gas graph writes a text: a readout, a scale value or a hidden
// secondary value. The widgets implement it for their labels; tests record it.
class GraphTextTarget
{
public:
    virtual ~GraphTextTarget() = default;
    virtual void setText(const QString &text) = 0;
};
