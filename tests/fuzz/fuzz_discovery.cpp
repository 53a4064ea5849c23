// Fuzz target: converter discovery and configuration fed arbitrary datagrams (any length,
// any source, any number) through the fake net, on any set of host interfaces; then the
// speed write and the automatic IP move acting on whatever the list says.
#include <cstdio>
#include <cstdlib>

#include "app/state.h"
#include "netsetup/converter_proto.h"
#include "platform/fake/fake_platform.h"
#include "sim/sim.h"
#include "tests/fuzz/fuzz_input.h"

static uint32_t ip_from(fuzz::Input &in)
{
    return sim::ip4(in.byte(), in.byte(), in.byte(), in.byte());
}

// Datagrams of the input until a zero count byte: delay (ms), source, length, bytes.
static void inject(fuzz::Input &in)
{
    for (int k = in.below(20); k > 0 && !in.empty(); --k) {
        const int64_t delay_us = (int64_t)in.byte() * 10000;
        const uint32_t from = ip_from(in);
        size_t len = in.byte();
        if (len & 0x80) len = (len & 0x7F) << 2;  // up to 508: the 124-byte replies and more
        fake::inject_datagram(delay_us, in.bytes(len), from);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    fake::set_logging(false);  // nothing here reads the logs
    fake::reset();
    state_reset();
    std::vector<uint32_t> ips, masks;
    for (int k = 2 + in.below(3); k > 0; --k) {
        ips.push_back(ip_from(in));
        masks.push_back(ip_from(in));
    }
    fake::set_interfaces(ips, masks);
    converter_list.selected = in.below(10) - 1;
    const int baud = in.below(6);
    FUZZ_ASSERT(udp_open() == 0);
    if (local_if_query() == 0) {
        FUZZ_ASSERT(local_if.count >= 0 && local_if.count <= LOCAL_IF_MAX);
        inject(in);
        if (converter_discover() == 0) {
            FUZZ_ASSERT(converter_list.count > 0 && converter_list.count <= NET_CONVERTER_MAX);
            inject(in);
            FUZZ_ASSERT(converter_read_configs() == 0);
            for (int i = 0; i < converter_list.count; ++i)
                FUZZ_ASSERT(converter_list.if_index[i] >= 0 && converter_list.if_index[i] < local_if.count);
            inject(in);
            const int rc = converter_set_baud(baud);
            if (getenv("VOK_FUZZ_TRACE"))
                fprintf(stderr, "interfaces %d converters %d port %u speed write %d\n", local_if.count,
                        converter_list.count, converter_list.port[0], rc);
            if (rc == 0) {
                inject(in);
                (void)converter_auto_ip();
            }
        }
    }
    udp_close();
    fake::reset();
    return 0;
}
