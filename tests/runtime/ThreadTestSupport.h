// What the thread and hidden-window tests share.
#pragma once

#include "runtime/Threads.h"

#include <functional>
#include <utility>

namespace runtimetest {

// A thread whose body is a function, for tests.
class TLambdaThread : public TThread {
public:
    explicit TLambdaThread(std::function<void(TLambdaThread&)> Body)
        : TThread(true), FBody(std::move(Body)) {}
    ~TLambdaThread() override { WaitFor(); }
    using TThread::Synchronize;

protected:
    void Execute() override { FBody(*this); }

private:
    std::function<void(TLambdaThread&)> FBody;
};

} // namespace runtimetest
