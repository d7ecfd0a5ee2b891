#pragma once
// The records that RegisterStagerEx of the deployment library reads and
// fills; their layout is the library's, so every size is checked.

#include <cstddef>
#include <cstdint>

namespace deploy_lib_loader_internal {

struct StagerRequest {
    uint32_t size;                 // 44
    uint32_t version;              // 4
    uint32_t reserved;             // 0; the library does not read it
    uint32_t zero1;                // 0
    uint32_t zero2;                // 0
    uint32_t mode;                 // 2
    uint32_t webStatus;            // 1 for userWebTolvaStatus
    uint32_t decisionsExist;       // 1 for userPreviousDecisionsExist
    uint32_t clearDecisions;       // 1 for clearUserPreviousDecisions
    uint32_t resetDecisions;       // 1 for resetUserPreviousDecisions
    uint32_t argument;
};
static_assert(sizeof(StagerRequest) == 44, "request record is 44 bytes");
static_assert(offsetof(StagerRequest, argument) == 40, "argument at byte 40");

struct StagerAnswer {
    uint8_t head[44];
    int32_t queryResult;           // 1 yes/ok, 0 no/not found, -1 error
};
static_assert(sizeof(StagerAnswer) == 48, "answer record is 48 bytes");

struct StagerResult {
    uint32_t zero;                 // 0
    uint32_t count;                // number of answer records
    uint64_t reserved;             // 0
    StagerAnswer* answers;
};
static_assert(sizeof(void*) != 8 || sizeof(StagerResult) == 24, "result record is 24 bytes");
static_assert(offsetof(StagerResult, answers) == 16, "answers pointer at byte 16");

// The request for one query kind (1 to 4) and argument; false for any other kind.
bool buildRequest(int kind, uint32_t argument, StagerRequest& request);

}  // namespace deploy_lib_loader_internal
