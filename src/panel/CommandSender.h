#pragma once

#include "Owner.h"

#include <QString>

// The road to the unit for a part of the panel that sends on its own (the repeat):
// what it may know of the line and the operator, and the two ways it sends, each in
// an owner's name. The model provides it; the part needs nothing else of the model.
class CommandSender {
public:
    virtual ~CommandSender() = default;

    virtual bool lineOpen() const = 0;
    // What a caller outside the window hears when the port is not open.
    virtual QString lineClosedWords() const = 0;
    // Whether the operator has a box to close first, and what a caller hears meanwhile.
    virtual bool operatorBusy() const = 0;
    virtual QString busyWords() const = 0;
    // Sends and shows the command as a key press would; true when the byte went out.
    // With `notSentWhy` a command the line did not take is told there, not in a box.
    virtual bool send(char command, const Owner &owner, QString *notSentWhy = nullptr) = 0;
    // A stop nobody pressed: "S" only when what plays or transmits is the owner's.
    virtual void stopOwn(const Owner &owner) = 0;
};
