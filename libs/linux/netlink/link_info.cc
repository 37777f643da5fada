// SPDX-License-Identifier: MIT
#include "link_info.h"

#include <libmnl/libmnl.h>
#include <linux/if_link.h>
#include <linux/rtnetlink.h>

#include <cstring>

namespace lcache_linux {
namespace {

// Copies a NUL-terminated string attribute that must fit `size` bytes.
bool copy_string(const nlattr *attr, char *dst, size_t size) {
    if (mnl_attr_validate(attr, MNL_TYPE_NUL_STRING) < 0)
        return false;
    const char *src = mnl_attr_get_str(attr);
    size_t len = strnlen(src, mnl_attr_get_payload_len(attr));
    if (len >= size)
        return false;
    memcpy(dst, src, len);
    dst[len] = '\0';
    return true;
}

bool read_u32(const nlattr *attr, uint32_t &out) {
    if (mnl_attr_validate(attr, MNL_TYPE_U32) < 0)
        return false;
    out = mnl_attr_get_u32(attr);
    return true;
}

struct Walk {
    LinkInfo *link;
    bool ok = true;
};

int on_vlan_attr(const nlattr *attr, void *data) {
    auto *walk = static_cast<Walk *>(data);
    if (mnl_attr_get_type(attr) == IFLA_VLAN_ID) {
        if (mnl_attr_validate(attr, MNL_TYPE_U16) < 0)
            return walk->ok = false, MNL_CB_ERROR;
        walk->link->vlan_id = mnl_attr_get_u16(attr);
    }
    return MNL_CB_OK;
}

int on_bridge_attr(const nlattr *attr, void *data) {
    auto *walk = static_cast<Walk *>(data);
    if (mnl_attr_get_type(attr) == IFLA_BR_VLAN_FILTERING) {
        if (mnl_attr_validate(attr, MNL_TYPE_U8) < 0)
            return walk->ok = false, MNL_CB_ERROR;
        walk->link->vlan_filtering = mnl_attr_get_u8(attr) != 0;
    }
    return MNL_CB_OK;
}

int on_vrf_port_attr(const nlattr *attr, void *data) {
    auto *walk = static_cast<Walk *>(data);
    if (mnl_attr_get_type(attr) == IFLA_VRF_PORT_TABLE &&
        !read_u32(attr, walk->link->vrf_table))
        return walk->ok = false, MNL_CB_ERROR;
    return MNL_CB_OK;
}

// Kind and slave kind come before their data in the kernel's messages, so
// the data is read in a second pass once both are known.
int on_linkinfo_attr(const nlattr *attr, void *data) {
    auto *walk = static_cast<Walk *>(data);
    LinkInfo &link = *walk->link;
    bool ok = true;
    switch (mnl_attr_get_type(attr)) {
    case IFLA_INFO_KIND:
        ok = copy_string(attr, link.kind, sizeof link.kind);
        break;
    case IFLA_INFO_SLAVE_KIND:
        ok = copy_string(attr, link.slave_kind, sizeof link.slave_kind);
        break;
    }
    if (!ok)
        walk->ok = false;
    return ok ? MNL_CB_OK : MNL_CB_ERROR;
}

int on_linkinfo_data(const nlattr *attr, void *data) {
    auto *walk = static_cast<Walk *>(data);
    const LinkInfo &link = *walk->link;
    int type = mnl_attr_get_type(attr);
    if (type == IFLA_INFO_DATA && link.kind_name() == "vlan")
        return mnl_attr_parse_nested(attr, on_vlan_attr, data) < 0 ? MNL_CB_ERROR : MNL_CB_OK;
    if (type == IFLA_INFO_DATA && link.kind_name() == "bridge")
        return mnl_attr_parse_nested(attr, on_bridge_attr, data) < 0 ? MNL_CB_ERROR : MNL_CB_OK;
    if (type == IFLA_INFO_SLAVE_DATA && link.slave_kind_name() == "vrf")
        return mnl_attr_parse_nested(attr, on_vrf_port_attr, data) < 0 ? MNL_CB_ERROR
                                                                       : MNL_CB_OK;
    return MNL_CB_OK;
}

bool read_linkinfo(const nlattr *attr, Walk &walk) {
    if (mnl_attr_validate(attr, MNL_TYPE_NESTED) < 0)
        return false;
    return mnl_attr_parse_nested(attr, on_linkinfo_attr, &walk) >= 0 && walk.ok &&
           mnl_attr_parse_nested(attr, on_linkinfo_data, &walk) >= 0 && walk.ok;
}

int on_link_attr(const nlattr *attr, void *data) {
    auto *walk = static_cast<Walk *>(data);
    LinkInfo &link = *walk->link;
    bool ok = true;
    switch (mnl_attr_get_type(attr)) {
    case IFLA_IFNAME:
        ok = copy_string(attr, link.name, sizeof link.name);
        break;
    case IFLA_MTU:
        ok = read_u32(attr, link.mtu);
        break;
    case IFLA_MASTER:
        ok = read_u32(attr, link.master);
        break;
    case IFLA_LINK:
        ok = read_u32(attr, link.parent);
        break;
    case IFLA_ADDRESS:
        // Only six-byte addresses are MACs; other link types keep theirs.
        if (mnl_attr_get_payload_len(attr) == sizeof link.mac) {
            memcpy(link.mac, mnl_attr_get_payload(attr), sizeof link.mac);
            link.has_mac = true;
        }
        break;
    case IFLA_LINKINFO:
        ok = read_linkinfo(attr, *walk);
        break;
    }
    if (!ok)
        walk->ok = false;
    return ok ? MNL_CB_OK : MNL_CB_ERROR;
}

} // namespace

bool parse_link(const nlmsghdr *message, LinkInfo &out) {
    if (message->nlmsg_type != RTM_NEWLINK && message->nlmsg_type != RTM_DELLINK)
        return false;
    if (message->nlmsg_len < mnl_nlmsg_size(sizeof(ifinfomsg)))
        return false;
    const auto *ifi = static_cast<const ifinfomsg *>(mnl_nlmsg_get_payload(message));
    if (ifi->ifi_family != AF_UNSPEC || ifi->ifi_index <= 0)
        return false;
    out = LinkInfo{};
    out.index = static_cast<uint32_t>(ifi->ifi_index);
    out.arp_type = ifi->ifi_type;
    out.flags = ifi->ifi_flags;
    Walk walk{&out};
    if (mnl_attr_parse(message, sizeof(ifinfomsg), on_link_attr, &walk) < 0 || !walk.ok ||
        out.name[0] == '\0')
        return false;
    out.type = type_of(out);
    return true;
}

} // namespace lcache_linux
