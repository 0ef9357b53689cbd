// The recording receiver driver of the key-language tests.
#include "fakedriver.h"

#include <algorithm>

namespace tessaly::test {

using namespace quorvin;

HRESULT FakeDriver::note(const std::string& what, std::int32_t value, std::int32_t extra)
{
    writes.push_back({what, value, extra});
    return S_OK;
}

std::vector<Write> FakeDriver::of(const std::string& what) const
{
    std::vector<Write> out;
    std::copy_if(writes.begin(), writes.end(), std::back_inserter(out), [&](const Write& w) { return w.what == what; });
    return out;
}

bool FakeDriver::wrote(const std::string& what, std::int32_t value) const
{
    return std::any_of(writes.begin(), writes.end(),
                       [&](const Write& w) { return w.what == what && w.value == value; });
}

HRESULT FakeDriver::RxRemote(std::int16_t, std::int32_t on, std::int32_t* p)
{
    remote = on != 0 ? -1 : 0;
    *p = 1;
    return note("remote", on);
}

HRESULT FakeDriver::put_RxFrq(std::int16_t, FRQTYPE kind, std::int32_t hz)
{
    frq = hz;
    return note("frq", hz, kind);
}

HRESULT FakeDriver::RxChnSave(std::int16_t, std::int16_t c, RCODE* p)
{
    *p = R_OK;
    return note("save", c);
}

HRESULT FakeDriver::RxChnLoad(std::int16_t, std::int16_t c, RCODE* p)
{
    chn = c;
    *p = R_OK;
    return note("load", c);
}

HRESULT FakeDriver::RxProcessKey(std::int16_t, std::int16_t key, std::int32_t* p)
{
    keys.push_back(key);
    *p = keyResult;
    return S_OK;
}

}  // namespace tessaly::test
