#include "connections/ComSetRules.h"

#include "connections/ConnectDsc.h"

#include <cstring>

bool CanConnectRemote(bool modemSelected, bool numberEmpty, size_t pinLength) {
    return modemSelected && !numberEmpty && pinLength >= PIN_MIN_LENGTH;
}

ConnListButtons ConnListButtonsFor(int count, int selected) {
    ConnListButtons b;
    // A 101st descriptor would be refused by the list after the item dialog was filled in.
    b.add = count < CONNECT_MAX;
    b.del = count > 0 && selected >= 0 && selected < count;
    b.set = b.del;
    return b;
}

int SelectionAfterDelete(int deleted, int countBefore) {
    const int countAfter = countBefore - 1;
    if (deleted < 0 || deleted >= countBefore || countAfter <= 0)
        return -1;
    return deleted < countAfter ? deleted : countAfter - 1;
}

int ModemIndexAfterDelete(int chosen, int deleted) {
    if (chosen < 0 || deleted < 0 || chosen == deleted)
        return -1;
    return chosen > deleted ? chosen - 1 : chosen;
}
