#include "nntp/nntp_outcome.h"

#include <gtest/gtest.h>

using kestrel::NntpOutcome;
using kestrel::nntpOutcome;

TEST(NntpOutcome, EveryCodeOfTheProtocolAndTheUnknownOnesByFirstDigit)
{
    const struct {
        int code;
        NntpOutcome outcome;
    } cases[] = {
        {100, NntpOutcome::Ok},           {111, NntpOutcome::Ok},       {200, NntpOutcome::Ok},
        {201, NntpOutcome::Ok},           {202, NntpOutcome::Ok},       {205, NntpOutcome::Ok},
        {211, NntpOutcome::Ok},           {215, NntpOutcome::Ok},       {220, NntpOutcome::Ok},
        {221, NntpOutcome::Ok},           {222, NntpOutcome::Ok},       {223, NntpOutcome::Ok},
        {224, NntpOutcome::Ok},           {281, NntpOutcome::Ok},       {381, NntpOutcome::Ok},
        {400, NntpOutcome::ConnectError}, {401, NntpOutcome::Retry},    {403, NntpOutcome::Retry},
        {411, NntpOutcome::NotFound},     {412, NntpOutcome::Retry},    {420, NntpOutcome::NotFound},
        {421, NntpOutcome::NotFound},     {422, NntpOutcome::NotFound}, {423, NntpOutcome::NotFound},
        {430, NntpOutcome::NotFound},     {436, NntpOutcome::Retry},    {440, NntpOutcome::Fatal},
        {480, NntpOutcome::AuthRequired}, {481, NntpOutcome::Fatal},    {482, NntpOutcome::Fatal},
        {483, NntpOutcome::Fatal},        {500, NntpOutcome::Fatal},    {501, NntpOutcome::Fatal},
        {502, NntpOutcome::Fatal},        {503, NntpOutcome::Fatal},    {299, NntpOutcome::Ok},
        {399, NntpOutcome::Ok},           {499, NntpOutcome::Retry},    {599, NntpOutcome::Fatal},
        {0, NntpOutcome::Fatal},          {99, NntpOutcome::Fatal},     {600, NntpOutcome::Fatal},
        {-200, NntpOutcome::Fatal},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(nntpOutcome(c.code), c.outcome)
            << c.code << " gave " << kestrel::nntpOutcomeName(nntpOutcome(c.code));
    }
}
