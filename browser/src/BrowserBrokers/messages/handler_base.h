// The interface of the payloads that can be passed on to the agent.
#pragma once

#include <string>

#include "messages/agent_types.h"

namespace browser_extensions {

class CHandlerBase {
 public:
  // Passes the payload's fields to the agent SDK; `reply` is this call's own
  // copy of the reply callback. True when the agent was called.
  virtual bool Handle(ReplyCallback reply, const std::wstring& tabID) = 0;

 protected:
  // Payloads are owned and destroyed as their concrete class.
  CHandlerBase() = default;
  CHandlerBase(const CHandlerBase&) = default;
  CHandlerBase& operator=(const CHandlerBase&) = default;
  ~CHandlerBase() = default;
};

}  // namespace browser_extensions
