// A real kernel pseudo-terminal for tests: the program side opens the slave by its path as it
// would open a serial device; the test plays the far end on the master.
#pragma once

#include <string>

class PtyPair {
public:
    // Creates the pair. The slave is put into raw mode (no echo) and kept open by the test,
    // so that the master does not see a hang-up while the program side has it closed.
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    int Master() const { return m_master; }
    const std::string& SlavePath() const { return m_slavePath; }

    // Closes the master: the slave side sees a hang-up.
    void CloseMaster();
    // Closes the slave descriptor held by the test.
    void CloseSlave();

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
};
