// The program's side of the line against a virtual unit started in-process: the project's own
// serial port and exchange over the unit's pseudo-terminal.
#pragma once

#include "link/ComTrans.h"
#include "link/Commands.h"
#include "link/SerCom.h"
#include "tools/sim/SimServer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

class SimLinkTest : public ::testing::Test {
protected:
    void Start(const SimServerOptions& options = {}, CVirtualUnit::TimeSource now = {}) {
        m_port.Close();
        m_server = std::make_unique<CSimServer>(options, std::move(now));
        std::string error;
        ASSERT_TRUE(m_server->Start(&error)) << error;
        ASSERT_FALSE(m_port.Init());
        ASSERT_EQ(m_port.Open(m_server->SlavePath(), kDefaultDcb), LE_OK);
        m_trans.SetSerCom(&m_port);
    }

    CVirtualUnit& Unit() { return m_server->Unit(); }

    static Bytes Request(uint8_t command, const Bytes& data = {}) {
        Bytes req(HEADER_SIZE);
        PutRequestHeader(req.data(), command);
        req.insert(req.end(), data.begin(), data.end());
        return req;
    }

    // One exchange with short time-outs and one attempt. The reply buffer is pre-filled with
    // 0xEE so that bytes the reply did not carry show.
    LinkResult Exchange(const Bytes& request, Bytes& reply, uint32_t capacity,
                        uint32_t readTimeout = 2000, uint32_t attempts = 1) {
        reply.assign(capacity, 0xEE);
        PrepareReplyHeader(reply.data());
        return m_trans.Exchange(request.data(), static_cast<uint32_t>(request.size()), reply.data(),
                                capacity, readTimeout, 2000, attempts);
    }

    Bytes Ask(uint8_t command, uint32_t capacity, const Bytes& data = {}) {
        Bytes reply;
        EXPECT_EQ(Exchange(Request(command, data), reply, capacity), LE_OK)
            << "command " << int{command};
        return reply;
    }

    static Bytes LoginData(const std::string& pin) {
        Bytes data(9, 0);
        std::copy(pin.begin(), pin.end(), data.begin());
        return data;
    }

    std::unique_ptr<CSimServer> m_server;
    CSerCom m_port;
    CComTrans m_trans;
};
