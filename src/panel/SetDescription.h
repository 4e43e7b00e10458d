#pragma once

#include <QString>

class MessageBook;

// The active set read out in one breath, for an operator who cannot glance at the
// keypad: the set's name, then each named memory in keypad order with its length
// when known ("Contest set. 7, QRZ, 1.2 seconds. 5, CQ contest, 2.8 seconds.").
// The window's key, the bus's DescribeSet and qx50-send --describe all say these words.
QString describeActiveSet(const MessageBook &book);
