// Turns plug and unplug of a card in one slot into tree changes. The builder
// owns the plug detectors of its slot, listens for the slot's PlugEvents,
// derives a plug pattern (bit n: detector n reports plugged), looks it up in
// its configured transition table and, when the set of configuration nodes
// to build changes, schedules a job that removes the slot's card subtree and
// builds, initialises and links the new one. A card must stay plugged for
// 2 s before it is built; a further change within that time replaces the
// pending build; removal acts at once.
//
// Configuration ("TransitionTableRow" children, marked skip="true"):
//   <Row skip="true" pattern="X1">                      bit 0 plugged, bit 1 any
//     <BuildFileList skip="true" side="Any">            or "Side-A" / "Side-B"
//       <Obj Name="OscCardContent"/>                    main type in the file list
//     </BuildFileList>
//   </Row>
#ifndef KAV_CARDS_FRUBUILDER_H
#define KAV_CARDS_FRUBUILDER_H

#include <cstdint>

#include "kav/cards/PlugDetectHwrInterface.h"
#include "kav/events/EventRouter.h"
#include "kav/events/PlugEvent.h"
#include "kav/runtime/IFOSRcFastMutex.h"
#include "kav/tree/objects/AtomicBase.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/TreeClassMacros.h"

class BinaryReaderNode;
class Container;
class Slot;

class KAV_EXPORT FruBuilder : public AtomicBase {
  KAV_TREE_CLASS(FruBuilder)

 public:
  struct plugPattern_s {
    uint32_t bits;
  };

  // One configuration node to build: its "Name" (a main type of the file
  // list) and the node itself (handed to the tree builder as context).
  class KAV_EXPORT ObjectDescription {
   public:
    ObjectDescription(const kavstl::string& name, const BinaryReaderNode* node);
    const kavstl::string& getName() const { return m_name; }
    const BinaryReaderNode* getNode() const { return m_pNode; }
    // Equal names and, when both nodes are present, equal nodes.
    bool operator==(const ObjectDescription& other) const;
    bool operator!=(const ObjectDescription& other) const { return !(*this == other); }
    // By name; for equal names by node (a missing node first).
    bool operator<(const ObjectDescription& other) const;

   private:
    kavstl::string m_name;
    const BinaryReaderNode* m_pNode;
  };
  typedef kavstl::set<ObjectDescription> ObjectSet_t;

  // A row of the transition table: matches a pattern when
  // ((pattern ^ value) & ~dontCareMask) == 0.
  struct PlugCondition {
    uint32_t dontCareMask;
    uint32_t value;
    ObjectSet_t objects;
    bool matches(plugPattern_s pattern) const { return ((pattern.bits ^ value) & ~dontCareMask) == 0; }
  };

  FruBuilder();
  ~FruBuilder() override;

  // Reads the transition table. A row without pattern stops the parsing
  // with that error.
  BaseErrorData setAttributes(const AttributeInfo& info) override;
  // Step 3 maps the detectors, step 7 registers for plug events, step 16
  // arms the detectors.
  BaseErrorData init(initSequence::Id_t step) override;
  // Step 2 deregisters (and drops a pending build), step 5 clears the map.
  BaseErrorData terminate(terminateSequence::Id_t step) override;

  BaseErrorData linkTreeElements();
  BaseErrorData unlinkTreeElements();
  BaseErrorData registerEvents();
  BaseErrorData deregisterEvents();
  BaseErrorData enablePlugEvents();

  // Dispatcher thread: re-arms the detector, recomputes the pattern and
  // schedules a build when the object set changes.
  void handlePlugEvent(const PlugEvent& event);
  // Schedules an AsynchFruBuilder job; its id (0 when it could not be made).
  unsigned int requestAsynchFruChange(const ObjectSet_t& objects, unsigned int delayMs);
  // Job thread: removes the slot's content and builds the content for the
  // set (nothing more for an empty set).
  void synchFruBuild(const ObjectSet_t& objects);

  // Adds the objects of every matching row, in table order.
  void getXmlLookupIds(plugPattern_s pattern, ObjectSet_t& objects) const;
  KavPtr<PlugDetectHwrInterface> getPlugDetect(unsigned int plugDetectId);
  // True when a detector reports a state other than unplugged.
  bool readIsPlugged(bool quiet);

  // The building blocks of synchFruBuild.
  KavPtr<QueryBase> buildTree(const ObjectSet_t& objects);
  // Runs the steps over the root (unless `withRoot` is false) and the root's
  // children appended since the counters were set.
  ErrorData initTree(KavPtr<QueryBase> root, unsigned int& childrenDone, unsigned int& hiddenDone,
                     const kavstl::vector<initSequence::Id_t>& steps, bool withRoot = true);
  BaseErrorData deleteContainerInSlot(KavPtr<Slot> slot);
  BaseErrorData deleteSlotsInContainer(KavPtr<Container> container);

  // Inspection.
  plugPattern_s getCurrentPattern() const;
  unsigned int getPendingJobId() const;
  const kavstl::vector<PlugCondition>& getTransitionTable() const { return m_transitionTable; }
  unsigned int getPlugDetectCount() const;

  // "Side-A" for side 0, "Side-B" for side 1; any other side ends the process.
  static const char* sideStringFor(unsigned int side);
  static const kavstl::string& getSideString();
  // Mask and value of a pattern text ("1" sets the value bit, "X" the mask
  // bit, most significant first; the last character is detector 0).
  static void parsePattern(const kavstl::string& text, uint32_t& mask, uint32_t& value);
  // A router that could not be created ends the process.
  static void checkRouter(const void* router);

 private:
  BaseErrorData readRow(const BinaryReaderNode& row);

  kavstl::vector<PlugCondition> m_transitionTable;
  plugPattern_s m_currentPattern;
  IFOSRcFastMutex m_buildMutex;
  unsigned int m_pendingJobId;
  EventRouter<PlugEvent>* m_pRouter;
  long m_plugRegistrationId;
  kavstl::map<unsigned int, KavPtr<PlugDetectHwrInterface> > m_plugDetectors;
  // Private copies of the description nodes: the configuration cache is
  // cleared at stop, the table lives on.
  kavstl::list<BinaryReaderNode*> m_ownedNodes;

  static kavstl::string m_SideString;
};

extern "C" KAV_EXPORT BuildBase* createFruBuilder(void* argument, BaseErrorData& error);

#endif
