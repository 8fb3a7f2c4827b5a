// HashTable<T>: values filed under unsigned keys in a fixed number of buckets.
//
// Several entries may share a key (the key is usually a hash of something
// larger), so lookups walk every entry of the key's bucket. Re-creating the
// table with another bucket count destroys all entries.
#pragma once

#include "Core/ArrayList.h"

namespace Vantor {

template <class T>
class HashTable {
public:
    struct Entry {
        unsigned key;
        T value;
    };

    static constexpr int defaultBucketCount = 23;

    explicit HashTable(int initialBuckets = defaultBucketCount) { create(initialBuckets); }
    HashTable(const HashTable&) = delete;
    HashTable& operator=(const HashTable&) = delete;
    virtual ~HashTable() { delete[] buckets; }

    // Destroys every entry and starts again with the given number of buckets.
    void create(int newBucketCount) {
        delete[] buckets;
        bucketCount = newBucketCount > 0 ? newBucketCount : 1;
        buckets = new ArrayList<Entry>[bucketCount];
        count = 0;
    }

    void clear() { create(bucketCount); }

    void add(unsigned key, const T& value) {
        bucketOf(key).add(Entry{key, value});
        ++count;
    }

    // The first value filed under key, or null.
    T* find(unsigned key) {
        return findIf(key, [](const T&) { return true; });
    }

    // The first value filed under key for which accept(value) is true, or null.
    template <class Predicate>
    T* findIf(unsigned key, Predicate accept) {
        ArrayList<Entry>& bucket = bucketOf(key);
        for (Entry& e : bucket)
            if (e.key == key && accept(e.value))
                return &e.value;
        return nullptr;
    }

    // Removes the first entry filed under key; false when there was none.
    bool remove(unsigned key) {
        ArrayList<Entry>& bucket = bucketOf(key);
        for (unsigned i = 0; i < bucket.size; ++i) {
            if (bucket[i].key == key) {
                bucket.remove(i);
                --count;
                return true;
            }
        }
        return false;
    }

    int getCount() const { return count; }
    int getBucketCount() const { return bucketCount; }

private:
    ArrayList<Entry>& bucketOf(unsigned key) { return buckets[key % unsigned(bucketCount)]; }

    int bucketCount = 0;
    ArrayList<Entry>* buckets = nullptr;
    int count = 0;
};

} // namespace Vantor
